#pragma once
// DLLs that are not KnownDLLs are loaded at run time from the system folder
// only. The installer runs elevated from wherever it was downloaded to; a DLL
// planted beside it must never be loaded, and a static import of such a DLL
// would be looked up beside the program before wWinMain could say otherwise.

#include <windows.h>

namespace SkinUI {

// The system folder's copy of `fileName` (e.g. L"bcrypt.dll"), or null.
// Loaded with LOAD_LIBRARY_SEARCH_SYSTEM32; where that flag is unknown
// (Windows 7 without KB2533623) by full path from GetSystemDirectoryW.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

// A function of a system DLL, typed; null when the DLL or the function is
// missing.
template <typename Function>
Function SystemFunction(const wchar_t* fileName, const char* name)
{
    HMODULE module = LoadSystemLibrary(fileName);
    FARPROC found = module != nullptr ? ::GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

}  // namespace SkinUI

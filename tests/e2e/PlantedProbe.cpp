// A DLL an attacker might plant beside Install.exe in a downloads folder,
// copied there under the name of every DLL the installer imports or loads.
// If Windows (or Wine) ever loads it, it leaves a marker named after itself
// in BOX_PROBE_MARKERS; the installer must never give it the chance.

#include <windows.h>

#include <cwchar>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t self[MAX_PATH] = {};
    wchar_t markers[MAX_PATH] = {};
    if (!GetModuleFileNameW(instance, self, MAX_PATH)) return TRUE;
    if (!GetEnvironmentVariableW(L"BOX_PROBE_MARKERS", markers, MAX_PATH)) return TRUE;
    const wchar_t* name = std::wcsrchr(self, L'\\');
    name = name != nullptr ? name + 1 : self;
    wchar_t marker[MAX_PATH * 2] = {};
    std::swprintf(marker, MAX_PATH * 2, L"%ls\\%ls.loaded", markers, name);
    HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return TRUE;
}

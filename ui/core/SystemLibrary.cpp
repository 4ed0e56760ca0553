#include "ui/core/SystemLibrary.h"

#include <cwchar>

namespace SkinUI {

HMODULE LoadSystemLibrary(const wchar_t* fileName)
{
    if (fileName == nullptr || std::wcspbrk(fileName, L"\\/:") != nullptr) return nullptr;
    HMODULE module = ::LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr || ::GetLastError() != ERROR_INVALID_PARAMETER) return module;
    wchar_t path[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 + std::wcslen(fileName) >= MAX_PATH) return nullptr;
    std::wcscat(path, L"\\");
    std::wcscat(path, fileName);
    return ::LoadLibraryW(path);
}

}  // namespace SkinUI

#include "windows/InstallDirectory.h"

#include <windows.h>
#include <shlwapi.h>

std::wstring ComposeInstallDir(const std::wstring& path, const std::wstring& appName)
{
    wchar_t buffer[MAX_PATH] = {};
    if (path.size() >= MAX_PATH) return std::wstring();
    path.copy(buffer, path.size());
    PathRemoveBackslashW(buffer);
    // Only a folder that already is the application's own keeps its name;
    // the name anywhere else in the path ("D:\" for a box named D) says
    // nothing. A root (a drive, a share) always gets the folder.
    const bool named = !PathIsRootW(buffer) && CompareStringOrdinal(PathFindFileNameW(buffer), -1, appName.c_str(), -1,
                                                                     TRUE) == CSTR_EQUAL;
    if (!named && !PathAppendW(buffer, appName.c_str())) return std::wstring();
    if (PathAddBackslashW(buffer) == nullptr) return std::wstring();
    return buffer;
}

const wchar_t* DescribeCreateDirError(int code)
{
    switch (code) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return L"The directory exists.";
    case ERROR_BAD_PATHNAME: return L"The pszPath parameter was set to a relative path";
    case ERROR_FILENAME_EXCED_RANGE: return L"The path pointed to by pszPath is too long.";
    case ERROR_CANCELLED: return L"The user canceled the operation.";
    case ERROR_DIRECTORY: return L"The path names a file, not a folder.";
    default: return L"";
    }
}

#include "windows/InstallDirectory.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace {

// A drive letter with its root ("C:\") or a share ("\\server\share"). The
// shell's PathIsRelative takes "C:Apps" and "\Apps" for whole paths, yet
// both depend on a current directory, and the extraction changes the
// current directory to the installation folder midway.
bool IsFullyQualified(const std::wstring& path)
{
    if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') return true;
    const bool letter = path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
    return letter && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
}

}  // namespace

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

int MakeInstallDir(const std::wstring& path, const std::wstring& appName, HWND owner, std::wstring* dir)
{
    *dir = ComposeInstallDir(path, appName);
    // Cutting the text to fit would install somewhere the user did not say.
    if (dir->empty()) return ERROR_FILENAME_EXCED_RANGE;
    if (!IsFullyQualified(*dir)) return ERROR_BAD_PATHNAME;
    // Without the trailing backslash, or a file of that name would not be seen.
    const std::wstring bare = dir->substr(0, dir->size() - 1);
    const DWORD attributes = GetFileAttributesW(bare.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : ERROR_DIRECTORY;
    int error = SHCreateDirectory(owner, dir->c_str());
    if (error != ERROR_SUCCESS) return error;
    return PathFileExistsW(dir->c_str()) ? 0 : ERROR_PATH_NOT_FOUND;
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

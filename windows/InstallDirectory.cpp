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

// 0 when a file can be made in the folder `dir` (with its trailing
// backslash); otherwise why not. A folder that stands is not yet one the
// installation can write: a read-only disk, or one the user has no rights
// on, would otherwise surface only as a download that never lands.
int ProbeWritable(const std::wstring& dir)
{
    const std::wstring probe = dir + L"~box-write-check-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error != ERROR_SUCCESS ? static_cast<int>(error) : ERROR_ACCESS_DENIED;
    }
    CloseHandle(file);
    return 0;
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
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ERROR_DIRECTORY;
        return ProbeWritable(*dir);
    }
    int error = SHCreateDirectory(owner, dir->c_str());
    if (error != ERROR_SUCCESS) return error;
    if (!PathFileExistsW(dir->c_str())) return ERROR_PATH_NOT_FOUND;
    return ProbeWritable(*dir);
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
    case ERROR_ACCESS_DENIED: return L"The folder cannot be written: access is denied.";
    case ERROR_WRITE_PROTECT: return L"The folder cannot be written: the disk is write-protected.";
    default: return L"";
    }
}

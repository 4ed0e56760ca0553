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

// The longest part of the whole path `path` that exists (a folder or a
// file; a drive's root stays "C:\\"), with its attributes; empty when not
// even the root does.
std::wstring NearestExistingPart(std::wstring path, DWORD* attributes)
{
    for (;;) {
        *attributes = GetFileAttributesW(path.c_str());
        if (*attributes != INVALID_FILE_ATTRIBUTES) return path;
        while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
        const size_t cut = path.find_last_of(L"\\/");
        if (cut == std::wstring::npos || path.size() <= 3) return std::wstring();
        path.resize(cut < 3 ? 3 : cut);
    }
}

// True when the nearest part of `path` that exists is a file: the folder
// cannot be made under it, whatever code the shell chose to say so.
bool FileOnTheWay(const std::wstring& path)
{
    DWORD attributes = 0;
    return !NearestExistingPart(path, &attributes).empty() && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
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

int MakeInstallDir(const std::wstring& path, const std::wstring& appName, std::wstring* dir)
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
    // No owner: with one the shell shows its own box (in the system's
    // language) and answers only ERROR_CANCELLED; the prompt says why instead.
    int error = SHCreateDirectory(nullptr, dir->c_str());
    if (error != ERROR_SUCCESS) return FileOnTheWay(bare) ? ERROR_DIRECTORY : error;
    if (!PathFileExistsW(dir->c_str())) return ERROR_PATH_NOT_FOUND;
    return ProbeWritable(*dir);
}

std::wstring NearestExistingFolder(const std::wstring& path)
{
    if (!IsFullyQualified(path)) return std::wstring();
    DWORD attributes = 0;
    std::wstring folder = NearestExistingPart(path, &attributes);
    // A file on the way: the folder it stands in.
    if (!folder.empty() && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        folder.resize(folder.find_last_of(L"\\/") + 1);
        folder = NearestExistingPart(folder, &attributes);
    }
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
    return folder;
}

std::wstring DescribeCreateDirError(int code)
{
    switch (code) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return L"该文件夹已存在";
    case ERROR_BAD_PATHNAME: return L"路径不完整，请选择完整的文件夹路径";
    case ERROR_FILENAME_EXCED_RANGE: return L"路径太长，请选择较短的文件夹路径";
    case ERROR_CANCELLED: return L"操作已取消";
    case ERROR_DIRECTORY: return L"该位置是一个文件，请选择文件夹";
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND: return L"路径中有一级无法打开（可能是一个文件），请选择其他文件夹";
    case ERROR_ACCESS_DENIED: return L"没有写入权限，请选择其他文件夹";
    case ERROR_WRITE_PROTECT: return L"磁盘被写保护，无法写入";
    case ERROR_INVALID_NAME: return L"文件夹名称中含有不能使用的字符";
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_BAD_NETPATH: return L"找不到该磁盘或网络位置";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return L"磁盘空间不足";
    default: return L"无法创建该文件夹（错误代码 " + std::to_wstring(code) + L"）";
    }
}

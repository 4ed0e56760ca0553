#include "install/Shortcuts.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <cwchar>

#include "app/InstallSettings.h"
#include "install/CrashPoint.h"
#include "ui/core/UIString.h"

using Microsoft::WRL::ComPtr;
using SkinUI::CUIString;

namespace {

constexpr wchar_t kUninstallLinkName[] = L"卸载";
constexpr wchar_t kQuickLaunch[] = L"\\Microsoft\\Internet Explorer\\Quick Launch";

// The path of a shell folder; false when the shell cannot give one. Going on
// with an empty path would put the shortcut at the root of the current drive.
bool SpecialFolder(int csidl, wchar_t (&path)[MAX_PATH])
{
    path[0] = L'\0';
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items))) return false;
    BOOL found = SHGetPathFromIDListW(items, path);
    CoTaskMemFree(items);
    return found && path[0] != L'\0';
}

}  // namespace

bool CreateLink(const wchar_t* target, const wchar_t* folder, const wchar_t* name, const wchar_t* workingDir)
{
    if (folder == nullptr) return false;
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)))) return false;
    ComPtr<IPersistFile> file;
    if (FAILED(link.As(&file))) return false;

    link->SetPath(target);
    if (workingDir != nullptr) link->SetWorkingDirectory(workingDir);
    link->SetShowCmd(SW_SHOWNORMAL);

    const wchar_t* fileName = name != nullptr ? name : PathFindFileNameW(target);
    // A path that does not fit is left out rather than cut.
    if (wcslen(folder) + 1 + wcslen(fileName) >= MAX_PATH) return false;
    wchar_t path[MAX_PATH] = {};
    swprintf(path, MAX_PATH, L"%ls\\%ls", folder, fileName);
    if (!PathRenameExtensionW(path, L".lnk")) return false;
    const bool saved = SUCCEEDED(file->Save(path, TRUE));
    CrashPoint("shortcut", path);
    return saved;
}

void CreateShortCut(HWND window)
{
    CUIString program = InstallSettings::installDir + InstallSettings::exeName;
    CUIString uninstaller = InstallSettings::installDir + L"Uninstall.exe";
    const wchar_t* workingDir = InstallSettings::installDir;

    wchar_t desktop[MAX_PATH];
    if (SpecialFolder(CSIDL_DESKTOP, desktop)) CreateLink(program, desktop, InstallSettings::boxName, workingDir);

    wchar_t programs[MAX_PATH];
    if (SpecialFolder(CSIDL_PROGRAMS, programs)) {
        CUIString group = CUIString(programs) + L"\\" + InstallSettings::appName;
        if (!PathFileExistsW(group)) SHCreateDirectory(window, group);
        CreateLink(program, group, InstallSettings::boxName, workingDir);
        CreateLink(uninstaller, group, kUninstallLinkName, workingDir);
    }

    // Quick Launch is not made where the system has none.
    wchar_t quickLaunch[MAX_PATH];
    if (SpecialFolder(CSIDL_APPDATA, quickLaunch) && wcslen(quickLaunch) + wcslen(kQuickLaunch) < MAX_PATH) {
        wcscat(quickLaunch, kQuickLaunch);
        if (PathFileExistsW(quickLaunch)) CreateLink(program, quickLaunch, InstallSettings::boxName, workingDir);
    }
}

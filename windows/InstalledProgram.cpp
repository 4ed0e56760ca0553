#include "windows/InstalledProgram.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cwchar>

#include "app/InstallSettings.h"
#include "services/MyLog.h"

bool StartInstalledProgram(DesktopShellStart startAsDesktopUser, bool errorUi)
{
    wchar_t path[MAX_PATH] = {};
    wcsncpy(path, InstallSettings::installDir, MAX_PATH - 1);
    if (!PathAppendW(path, InstallSettings::exeName)) return false;
    if (startAsDesktopUser(path, InstallSettings::installDir)) {
        MyLog::GetLogger()->info("started the program through the desktop shell, as the desktop user");
        return true;
    }
    MyLog::GetLogger()->info("no desktop shell to start the program through: started it directly");
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = errorUi ? 0 : SEE_MASK_FLAG_NO_UI;
    info.lpFile = path;
    info.lpParameters = L"";
    info.lpDirectory = InstallSettings::installDir;
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info)) return true;
    MyLog::GetLogger()->error("could not start {}: error {}", Text936(path), GetLastError());
    return false;
}

#include "install/InstallSequence.h"

#include <objbase.h>

#include <cstdio>

#include "app/InstallSettings.h"
#include "install/InstallCountReport.h"
#include "install/SetupMessages.h"
#include "install/Shortcuts.h"
#include "install/UninstallRegistration.h"
#include "install/UnzipWithProgress.h"
#include "services/MyLog.h"

namespace {

std::string Ansi(const wchar_t* wide)
{
    char narrow[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

// COM for the shell link object of the shortcut step; balanced on every way out.
struct ComApartment {
    ComApartment() { CoInitialize(nullptr); }
    ~ComApartment() { CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

// The log line and status text of an extraction result.
void ReportUnzipResult(HWND window, int result)
{
    auto logger = MyLog::GetLogger();
    switch (result) {
    case kUnzipOk:
        logger->debug("Unzip success!");
        PostStatusText(window, L"解压成功");
        break;
    case kUnzipCannotOpenArchive:
        logger->debug("can't found the file");
        PostStatusText(window, L"找不到下载的文件，可能是权限不够");
        break;
    case kUnzipCannotSumSizes:
        logger->debug("Calculate size faled");
        PostStatusText(window, L"计算大小失败");
        break;
    default:
        logger->debug("Unzip failed");
        PostStatusText(window, L"解压失败");
        break;
    }
}

// Downloads and extracts, up to three passes. False when the installation
// stops here: cancelled, or every pass failed.
bool DownloadAndExtract(HWND window, const InstallSequenceOptions& options)
{
    std::string installDir = Ansi(InstallSettings::installDir);
    for (int pass = 1;; ++pass) {
        wchar_t package[MAX_PATH] = {};
        if (!SaveZipToDir(InstallSettings::installDir, package, window, options.download)) return false;
        PostStatusText(window, L"SaveZipToDir finish");

        int result = UnzipWidthProgress(Ansi(package).c_str(), installDir.c_str(), window);
        if (result == kUnzipCancelled) return false;
        ReportUnzipResult(window, result);
        if (result == kUnzipOk) return true;

        MyLog::GetLogger()->info(fmt::runtime(Text936("Unzip failed，redownload")));
        if (pass == kInstallPasses) {
            MyLog::GetLogger()->info(fmt::runtime(Text936("解压失败,安装中止")));
            return false;
        }
    }
}

}  // namespace

bool RenameIfExists(const char* from, const char* to)
{
    FILE* file = fopen(from, "r");
    if (file == nullptr) return false;
    fclose(file);
    // The C runtime's rename does not replace an existing target; a second
    // installation into the same folder keeps both files as they are.
    if (rename(from, to) != 0) GetLastError();
    return true;
}

void RenameExecutables()
{
    std::string dir = Ansi(InstallSettings::installDir);
    std::string boxName = Ansi(InstallSettings::boxName);
    RenameIfExists((dir + "Corvina.exe").c_str(), (dir + Ansi(InstallSettings::exeName)).c_str());
    RenameIfExists((dir + "CorvinaMain.exe").c_str(), (dir + boxName + "M.exe").c_str());
    RenameIfExists((dir + "CvnBrowserAide.exe").c_str(), (dir + boxName + "A.exe").c_str());
}

unsigned RunInstallSequence(HWND window, const InstallSequenceOptions& options)
{
    {
        ComApartment com;
        if (!DownloadAndExtract(window, options)) return 0;
        PostStatusText(window, L"UnzipWidthProgress finish");

        RenameExecutables();
        PostStatusText(window, L"DeleteFile");
        CreateShortCut(window);
        PostStatusText(window, L"CreateShortCut");
        AddRegeditKeyAndValues();
        PostStatusText(window, L"AddRegeditKeyAndValues");
        ReportInstallation(options.apiServer.empty() ? std::string(kApiServer) : options.apiServer,
                           options.reportLimits);
        PostStatusText(window, L"incInstallNum");
    }
    PostMessageW(window, WM_SETUP_FINISHED, 0, 0);
    return 0;
}

unsigned __stdcall InstallThreadProc(void* argument)
{
    return RunInstallSequence(static_cast<HWND>(argument), InstallSequenceOptions());
}

// The GUI entry point. Every setting is compiled in, the package pin
// included; the command line only chooses between the wizard, the usage box
// and an unattended installation (app/CommandLine.h).

#include <windows.h>
#include <objbase.h>

#include "app/CommandLine.h"
#include "app/CrashDump.h"
#include "app/InstallSettings.h"
#include "install/InstallCountReport.h"
#include "install/InstallSequence.h"
#include "install/NetworkWarmUp.h"
#include "windows/SetupingWnd.h"
#include "windows/UnattendedInstall.h"

// Written by the build when it pins the package: BOX_PACKAGE_SHA256 and
// BOX_PACKAGE_SIZE.
#ifdef BOX_PACKAGE_PIN_HEADER
#include BOX_PACKAGE_PIN_HEADER
#endif
// Written by the build: BOX_PACKAGE_URLS and BOX_REPORT_URL, and with
// release keys BOX_RELEASE_KEYS and BOX_PACKAGE_VERSION_FLOOR.
#ifdef BOX_URLS_HEADER
#include BOX_URLS_HEADER
#endif

namespace {

// The network's slow first steps (proxy detection, the trusted roots), done
// while the user reads the first page.
void StartShippedWarmUp()
{
    const InstallSequenceOptions shipped = ShippedSequenceOptions();
    StartNetworkWarmUp({shipped.download.url, shipped.apiServer.empty() ? std::string(kApiServer) : shipped.apiServer});
}

// Not before the wizard's first paint: on a machine of two cores the warm-up
// made the name window show 10 ms later.
void CALLBACK StartWarmUpWhenIdle(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    StartShippedWarmUp();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    SetUnhandledExceptionFilter(CrashDumpFilter);
    // Done once more: the process entry did it first (BoxProcessEntry).
    RestrictDllSearchToSystem();
    // The whole line, program included: wWinMain's own argument is the rest
    // of it as the runtime cut it, which the parser would have to trust.
    const CommandLineRequest request = ParseCommandLine(GetCommandLineW());
    if (request.mode == CommandLineRequest::Mode::Usage) {
        MessageBoxW(nullptr, UsageText().c_str(), L"Install.exe", MB_OK | MB_ICONINFORMATION);
        return kExitInstalled;
    }
    if (request.mode == CommandLineRequest::Mode::Refused) {
        ReportRefusedCommandLine(request.refusal);
        return kExitBadArguments;
    }

    CoInitialize(nullptr);
    InstallSettings::SetDefaults();
#ifdef BOX_PACKAGE_SHA256
    InstallSettings::packageSha256 = BOX_PACKAGE_SHA256;
    InstallSettings::packageSize = BOX_PACKAGE_SIZE;
#endif
#ifdef BOX_PACKAGE_URLS
    InstallSettings::packageUrls = {BOX_PACKAGE_URLS};
    InstallSettings::reportUrl = BOX_REPORT_URL;
#endif
#ifdef BOX_RELEASE_KEYS
    InstallSettings::releaseKeys = {BOX_RELEASE_KEYS};
    InstallSettings::packageVersionFloor = BOX_PACKAGE_VERSION_FLOOR;
#endif

    int exitCode = kExitInstalled;
    if (request.mode == CommandLineRequest::Mode::Unattended) {
        StartShippedWarmUp();
        exitCode = RunUnattendedInstall(request);
    } else {
        // A thread timer fires once nothing else is queued: after the first
        // window has been made and painted.
        SetTimer(nullptr, 0, 0, StartWarmUpWhenIdle);
        RunSetupWizard(instance);
    }

    // Never while the warm-up is still inside the system's DLLs: a thread cut
    // off there can keep the process from ending (Wine then kills it, and
    // the exit code is lost). It ends within a second but for a proxy
    // detection that takes its time, hence the bound.
    WaitForNetworkWarmUp(10000);
    CoUninitialize();
    return exitCode;
}

// The GUI entry point. The program reads no command line and no
// configuration; every setting is compiled in, the package pin included.

#include <windows.h>
#include <objbase.h>

#include "app/CrashDump.h"
#include "app/InstallSettings.h"
#include "windows/SetupingWnd.h"

// Written by the build when it pins the package: BOX_PACKAGE_SHA256 and
// BOX_PACKAGE_SIZE.
#ifdef BOX_PACKAGE_PIN_HEADER
#include BOX_PACKAGE_PIN_HEADER
#endif

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    SetUnhandledExceptionFilter(CrashDumpFilter);
    // Done once more: the process entry did it first (BoxProcessEntry).
    RestrictDllSearchToSystem();
    CoInitialize(nullptr);
    InstallSettings::SetDefaults();
#ifdef BOX_PACKAGE_SHA256
    InstallSettings::packageSha256 = BOX_PACKAGE_SHA256;
    InstallSettings::packageSize = BOX_PACKAGE_SIZE;
#endif

    RunSetupWizard(instance);

    CoUninitialize();
    return 0;
}

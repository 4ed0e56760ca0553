// The GUI entry point. The program reads no command line and no
// configuration; every setting is compiled in.

#include <windows.h>
#include <objbase.h>

#include "app/CrashDump.h"
#include "app/InstallSettings.h"
#include "windows/SetupingWnd.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    SetUnhandledExceptionFilter(CrashDumpFilter);
    // Done once more: the process entry did it first (BoxProcessEntry).
    RestrictDllSearchToSystem();
    CoInitialize(nullptr);
    InstallSettings::SetDefaults();

    RunSetupWizard(instance);

    CoUninitialize();
    return 0;
}

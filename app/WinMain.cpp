// The GUI entry point. The program reads no command line and no
// configuration; every setting is compiled in.

#include <windows.h>
#include <objbase.h>

#include "app/CrashDump.h"
#include "app/InstallSettings.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    SetUnhandledExceptionFilter(CrashDumpFilter);
    RestrictDllSearchToSystem();
    CoInitialize(nullptr);
    InstallSettings::SetDefaults();

    // FIXME: the setup wizard runs here once the installer windows exist.
    (void)instance;

    CoUninitialize();
    return 0;
}

// The process's first code, before the C runtime starts and runs the static
// initialisers. Some of those call into user32, which under Wine (and comctl32
// on Windows) loads further DLLs such as uxtheme.dll by name; the installer is
// usually started from a downloads folder, where such a DLL may be planted.
// So the DLL search is restricted to the system folder before anything else.

#include <windows.h>

#include "app/CrashDump.h"

#if defined(__MINGW32__)
// mingw-w64's crt2u.o (-municode): initialises the runtime, calls wWinMain.
extern "C" int WinMainCRTStartup(void);
#define BOX_CRT_STARTUP WinMainCRTStartup
#else
extern "C" int wWinMainCRTStartup(void);
#define BOX_CRT_STARTUP wWinMainCRTStartup
#endif

extern "C" int BoxProcessEntry(void)
{
    RestrictDllSearchToSystem();
    return BOX_CRT_STARTUP();
}

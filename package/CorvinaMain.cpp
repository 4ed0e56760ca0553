// CorvinaMain.exe of the demo package: carried so the installer has it to
// rename (to <box>M.exe). It does nothing.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }

#pragma once
// Starts a program as the desktop's user rather than as ourselves. The
// installer runs elevated; the program it installed should not inherit that.
// The desktop's own shell (explorer, which runs unelevated) is asked to start
// it, through its automation object.

// True when the desktop shell took the request. False where there is no such
// shell to ask (no desktop window registered with the shell windows list, as
// under Wine, or the shell refused): the caller then starts the program
// itself.
bool ShellExecuteAsDesktopUser(const wchar_t* file, const wchar_t* directory);

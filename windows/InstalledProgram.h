#pragma once
// Starts the installed program (installDir + exeName) at the end of an
// installation: as the desktop's user through its shell where there is one
// to ask, since the installer runs elevated and the program must not inherit
// that; else directly. Which way it took goes to the log.

// The way through the desktop's shell (ShellExecuteAsDesktopUser, or a test's
// stand-in that refuses).
using DesktopShellStart = bool (*)(const wchar_t* file, const wchar_t* directory);

// `errorUi`: whether the system may tell of a program that cannot be
// started in a message box of its own (the wizard), or must not (an
// unattended installation; the failure is logged either way). False when
// the program could not be started.
bool StartInstalledProgram(DesktopShellStart startAsDesktopUser, bool errorUi);

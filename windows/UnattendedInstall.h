#pragma once
// The installation with nobody at the keyboard (Install.exe /S): what the
// name window, the directory page and the progress page do, in their order
// and through their code, with no window shown. The name was accepted by the
// name window's rules (app/CommandLine); /D's folder, or the one the wizard
// proposes, is made as 确认 makes it; the install sequence runs on its own
// thread as the progress page runs it, reporting to a message-only window;
// on its end the name file is written as the finish page writes it, and /RUN
// starts the program as 安装完成 does.
//
// What a user would have been told in a window becomes the exit code and a
// log line: in the installation folder's log once that folder stands, and
// before that (a refused command line, a folder that cannot be made) in
// %TEMP%\InstallUnattended.txt, since nothing is made where nothing was
// installed. Either way the line also goes to the caller's standard error
// when it gave one.
//
// One difference from the wizard: a download that brings nothing, attempt
// after attempt, ends after kUnattendedFruitlessAttempts in a row, since
// nobody is there to press Escape.

#include <string>

#include "app/CommandLine.h"

constexpr int kUnattendedFruitlessAttempts = 10;
// And after this many refused outright in a row: an untrusted certificate, a
// redirect to plain http, a proxy that refuses or wants a login.
constexpr int kUnattendedRefusedAttempts = 3;

// Installs what `request` (Mode::Unattended) asks for and returns only once
// everything is done and the install thread has ended: kExitInstalled,
// kExitPackageFailed or kExitFolderNotMade.
int RunUnattendedInstall(const CommandLineRequest& request);

// A command line refused before anything was done: the reason to
// %TEMP%\InstallUnattended.txt and the caller's standard error.
void ReportRefusedCommandLine(const std::wstring& reason);

// %TEMP%\InstallUnattended.txt (GetTempPathW's folder).
std::wstring EarlyLogPath();

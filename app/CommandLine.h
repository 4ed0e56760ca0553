#pragma once
// What the command line asks of the installer. Without arguments: the
// wizard. With /S: an unattended installation, for administrators who deploy
// to machines with nobody at the keyboard. /? alone: the usage box. Anything
// else is refused; an argument never passes unnoticed, since an installer
// that ignored a misspelt switch would do something other than what the
// administrator asked, on every machine at once.
//
//   Install.exe /S /NAME=<box name> [/D=<folder>] [/RUN]
//
// Switch names are read without regard to case (/s, /name=). A value with
// spaces is quoted as a whole argument: "/D=C:\Program Files\Apps".
//
// Pure code (no <windows.h>), so it is also tested natively.

#include <string>
#include <vector>

// The process's exit code: what `start /wait` or a deployment tool sees.
enum InstallerExitCode : int {
    kExitInstalled = 0,      // also: the wizard ended, the usage was shown
    kExitBadArguments = 1,   // an argument refused, /NAME missing or not a valid name
    kExitPackageFailed = 2,  // download, check or extraction failed after its passes
    kExitFolderNotMade = 3,  // the installation folder could not be made
};

struct CommandLineRequest {
    enum class Mode { Wizard, Usage, Unattended, Refused };
    Mode mode = Mode::Wizard;
    // Unattended: the name, trimmed and accepted by the name window's rules.
    std::wstring boxName;
    // Unattended: /D's folder as given; empty for the folder the wizard
    // proposes.
    std::wstring folder;
    bool runAfterInstall = false;  // /RUN
    // Refused: why, in English, for the log.
    std::wstring refusal;
};

// Splits a whole command line (GetCommandLineW's text, the program first)
// into its arguments, the program left out, by the C runtime's rules that
// CommandLineToArgvW also follows: white space separates outside quotes;
// 2n backslashes before a quote give n and the quote opens or closes quoting,
// 2n+1 give n and a literal quote; other backslashes stand for themselves.
// So "/D=C:\Program Files\\" ends in one backslash, while
// "/D=C:\Program Files\" goes on past its closing quote: the folder then
// holds a quote, and ParseArguments says why it refuses it.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

// The arguments (the program left out) as a request.
CommandLineRequest ParseArguments(const std::vector<std::wstring>& arguments);

CommandLineRequest ParseCommandLine(const std::wstring& commandLine);

// The text of the /? box.
std::wstring UsageText();

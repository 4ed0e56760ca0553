#pragma once
// The installation proper, on a thread of its own beside the setup window:
// up to three passes of download, check against the build's package pin,
// extraction and renaming of the packaged executables, then the shortcuts,
// the uninstall entry, the install-count report and the name file, with a
// status text posted after each step and WM_SETUP_FINISHED after a complete
// run only. A failed pass is told to the user (PostNotice), and a stop with
// its cause (PostFailure); the downloaded package goes with a stop.
//
// The thread argument is the setup window's native handle (the window passes
// GetHWND() cast to a pointer), not the window object: every step that posts
// or owns a call takes that HWND.
//
// Cancellation: a request is seen in the pause before each download attempt,
// during the transfer and at each extraction progress report; the steps then
// unwind and the thread returns 0 without posting anything more. From the
// end of the extraction on, a request is not looked at and the run completes,
// name file included, whether or not the window still stands.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "install/MyHttp.h"
#include "install/PackageDownload.h"

// The package a build pins (InstallSettings::packageSha256 and ...Size):
// lower-case hex SHA-256 and size in bytes. An empty hash pins nothing.
struct PackagePin {
    std::string sha256;
    long long size = 0;
};

// The release keys a build embeds: a package is installed only as its signed
// manifest describes it. Empty keys: no manifest (the pin, or nothing).
struct ManifestCheck {
    std::vector<std::string> keys;  // base64 of each key's X || Y
    int64_t versionFloor = 0;       // a manifest of a lower version is a replay of an older release
};

// The shipped run uses the defaults and the build's pin; tests point it at
// their own servers and shorten the pauses.
struct InstallSequenceOptions {
    DownloadOptions download;
    std::string apiServer;  // empty: the compiled-in API server
    MyHttp::Limits reportLimits;
    PackagePin pin;
    ManifestCheck manifest;  // when it holds keys, the manifest gives the pin
};

constexpr int kInstallPasses = 3;

// The shipped options: the defaults and the build's pin (InstallSettings).
InstallSequenceOptions ShippedSequenceOptions();

// _beginthreadex entry; `argument` is the setup window's HWND. Runs with the
// shipped options. Returns 0.
unsigned __stdcall InstallThreadProc(void* argument);

// How the wizard and an unattended installation both start the sequence,
// once the installation folder stands and the log is open: a new cancelEvent,
// then RunInstallSequence(window, options) on a thread of its own. The
// thread's handle, for the caller to wait on and close; null when no thread
// could be started.
HANDLE StartInstallThread(HWND window, const InstallSequenceOptions& options);

unsigned RunInstallSequence(HWND window, const InstallSequenceOptions& options);

// Gives Corvina.exe, CorvinaMain.exe and CvnBrowserAide.exe in installDir the
// names exeName, boxName + "M.exe" and boxName + "A.exe", replacing what an
// earlier installation left there. False when one cannot be replaced (the
// program is running), with that target in `failedTarget`: the pass fails.
// An executable the package lacks is passed over.
bool RenameExecutables(std::wstring* failedTarget = nullptr);
// The same in another folder (ending with a backslash): the staging folder.
bool RenameExecutablesIn(const std::wstring& dir, std::wstring* failedTarget = nullptr);

enum class RenameOutcome { Renamed, NotInPackage, Failed };
RenameOutcome RenameIfExists(const wchar_t* from, const wchar_t* to);

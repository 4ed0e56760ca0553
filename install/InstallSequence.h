#pragma once
// The installation proper, on a thread of its own beside the setup window:
// up to three passes of download and extraction, then the renaming of the
// packaged executables, the shortcuts, the uninstall entry and the
// install-count report, with a status text posted after each step and
// WM_SETUP_FINISHED after a complete run only.
//
// The thread argument is the setup window's native handle (the window passes
// GetHWND() cast to a pointer), not the window object: every step that posts
// or owns a call takes that HWND.
//
// Cancellation: a request is seen in the pause before each download attempt,
// during the transfer and at each extraction progress report; the steps then
// unwind and the thread returns 0 without posting anything more. From the
// end of the extraction on, a request is not looked at and the run completes.

#include <windows.h>

#include <string>

#include "install/MyHttp.h"
#include "install/PackageDownload.h"

// The shipped run uses the defaults; tests point it at their own servers and
// shorten the pauses.
struct InstallSequenceOptions {
    DownloadOptions download;
    std::string apiServer;  // empty: the compiled-in API server
    MyHttp::Limits reportLimits;
};

constexpr int kInstallPasses = 3;

// _beginthreadex entry; `argument` is the setup window's HWND. Returns 0.
unsigned __stdcall InstallThreadProc(void* argument);

unsigned RunInstallSequence(HWND window, const InstallSequenceOptions& options);

// Gives Corvina.exe, CorvinaMain.exe and CvnBrowserAide.exe in installDir the
// names exeName, boxName + "M.exe" and boxName + "A.exe". An existing target
// is not replaced.
void RenameExecutables();

// False when `from` cannot be opened; otherwise true, whether or not the
// rename itself succeeded.
bool RenameIfExists(const char* from, const char* to);

#pragma once
// The private messages between the install thread and the setup window, and
// the one way back: a cancel request.
//
// Every message is posted (never sent) to the setup window's handle:
//
//   WM_SETUP_START             window -> itself. wParam, lParam 0. The directory
//                              is ready: create cancelEvent, start the thread.
//   WM_SETUP_EXTRACT_PROGRESS  install thread -> window. wParam: percent as an
//                              unsigned integer (truncated). lParam 0.
//   WM_SETUP_DOWNLOAD_PROGRESS install thread -> window. As above; a successful
//                              transfer ends with exactly 100, and every pass
//                              starts with 0 (the bar starts again).
//   WM_SETUP_STATUS_TEXT       install thread -> window. wParam: a heap
//                              SkinUI::CUIString* that the receiver owns from
//                              the moment it is posted and must delete.
//                              lParam: kStatusForUser when the text is for the
//                              user's eyes (a retry), kStatusFailure when the
//                              installation has stopped for good (the window
//                              no longer shows a percentage), 0 for the
//                              step-by-step trace.
//   WM_SETUP_FINISHED          install thread -> window, once, after the last
//                              step of a complete run; never after an aborted
//                              or cancelled one.
//   WM_SETUP_PROXY_LOGIN       install thread -> window, SENT (the thread waits
//                              for the answer). lParam: a ProxyLoginRequest*
//                              (install/RequestPolicy.h) that the window's
//                              thread fills and marks given, or leaves as it
//                              is when nobody can be asked.

#include <windows.h>

#include <mutex>

enum : UINT {
    WM_SETUP_START = WM_USER + 2,
    WM_SETUP_EXTRACT_PROGRESS = WM_USER + 3,
    WM_SETUP_DOWNLOAD_PROGRESS = WM_USER + 4,
    WM_SETUP_STATUS_TEXT = WM_USER + 5,
    WM_SETUP_FINISHED = WM_USER + 6,
    WM_SETUP_PROXY_LOGIN = WM_USER + 7,
};

// Auto-reset, initially clear, unnamed; made by the window right before it
// starts the install thread. A request is consumed by the one wait that sees
// it, and every place that sees it ends the sequence.
extern HANDLE cancelEvent;
// Held by the window while it signals, and by a reporter while it tests.
extern std::mutex cancelMutex;

// Window side: signal cancelEvent under cancelMutex.
void RequestCancel();

constexpr LPARAM kStatusForUser = 1;
constexpr LPARAM kStatusFailure = 2;
// The step that says the files are in place: from here on the installation
// finishes whatever the window does.
constexpr const wchar_t* kStepFilesInPlace = L"UnzipWidthProgress finish";

// Posts a copy of `text`. When the post fails the copy is freed here: nobody
// else could ever own it.
void PostStatusText(HWND window, const wchar_t* text);
// The same, for the user: what is going wrong and what happens next.
void PostNotice(HWND window, const wchar_t* text);
// The same, when the installation has stopped: what went wrong and what the
// user can do.
void PostFailure(HWND window, const wchar_t* text);

// Both reporters test cancelEvent first. They return false when the user has
// asked to stop: the caller then stops its transfer or extraction, closes
// what it opened and returns without posting anything more. Otherwise they
// post the progress (nothing when `window` is null, or when the whole
// percent is the one this thread last posted to that window) and return true.
bool ReportExtractProgress(HWND window, double percent);
bool ReportDownloadProgress(HWND window, double percent);

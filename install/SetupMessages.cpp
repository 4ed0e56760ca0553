#include "install/SetupMessages.h"

#include "ui/core/UIString.h"

#include <atomic>

HANDLE cancelEvent = nullptr;
std::mutex cancelMutex;

namespace {

// Set with the event: "a request may be waiting". The reporters run for
// every block the transfer receives, and a wait on the event, even a zero
// one, is a round trip to the system (under Wine, to its server, which the
// UI thread's painting needs as well). The event stays the truth: a
// reporter that sees the flag tests and consumes it as before.
std::atomic<bool> cancelMayBePending{false};

}  // namespace

void RequestCancel()
{
    std::lock_guard<std::mutex> lock(cancelMutex);
    if (cancelEvent != nullptr) {
        cancelMayBePending = true;
        SetEvent(cancelEvent);
    }
}

namespace {

void PostText(HWND window, const wchar_t* text, LPARAM kind)
{
    auto* payload = new SkinUI::CUIString(text);
    if (!PostMessageW(window, WM_SETUP_STATUS_TEXT, reinterpret_cast<WPARAM>(payload), kind)) delete payload;
}

}  // namespace

void PostStatusText(HWND window, const wchar_t* text) { PostText(window, text, 0); }

void PostNotice(HWND window, const wchar_t* text) { PostText(window, text, kStatusForUser); }

void PostFailure(HWND window, const wchar_t* text) { PostText(window, text, kStatusFailure); }

namespace {

bool CancelRequested()
{
    if (!cancelMayBePending.load()) return false;
    std::lock_guard<std::mutex> lock(cancelMutex);
    // Another wait may have consumed the request already: then none is left.
    cancelMayBePending = false;
    return cancelEvent != nullptr && WaitForSingleObject(cancelEvent, 0) == WAIT_OBJECT_0;
}

bool Report(UINT message, HWND window, double percent)
{
    if (CancelRequested()) return false;
    if (window != nullptr) {
        unsigned whole = percent > 0 ? static_cast<unsigned>(percent) : 0u;  // truncation, as the window expects
        // The window shows whole percents: a report that would not change
        // them is not posted. Each post costs the UI thread a repaint, and
        // the transfer reports every thousandth.
        thread_local struct {
            HWND window;
            UINT message;
            unsigned whole;
        } last = {nullptr, 0, 0};
        if (last.window == window && last.message == message && last.whole == whole) return true;
        if (PostMessageW(window, message, static_cast<WPARAM>(whole), 0)) last = {window, message, whole};
    }
    return true;
}

}  // namespace

bool ReportExtractProgress(HWND window, double percent) { return Report(WM_SETUP_EXTRACT_PROGRESS, window, percent); }

bool ReportDownloadProgress(HWND window, double percent)
{
    return Report(WM_SETUP_DOWNLOAD_PROGRESS, window, percent);
}

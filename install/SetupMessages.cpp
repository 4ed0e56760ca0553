#include "install/SetupMessages.h"

#include "ui/core/UIString.h"

HANDLE cancelEvent = nullptr;
std::mutex cancelMutex;

void RequestCancel()
{
    std::lock_guard<std::mutex> lock(cancelMutex);
    if (cancelEvent != nullptr) SetEvent(cancelEvent);
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

namespace {

bool CancelRequested()
{
    std::lock_guard<std::mutex> lock(cancelMutex);
    return cancelEvent != nullptr && WaitForSingleObject(cancelEvent, 0) == WAIT_OBJECT_0;
}

bool Report(UINT message, HWND window, double percent)
{
    if (CancelRequested()) return false;
    if (window != nullptr) {
        unsigned whole = percent > 0 ? static_cast<unsigned>(percent) : 0u;  // truncation, as the window expects
        PostMessageW(window, message, static_cast<WPARAM>(whole), 0);
    }
    return true;
}

}  // namespace

bool ReportExtractProgress(HWND window, double percent) { return Report(WM_SETUP_EXTRACT_PROGRESS, window, percent); }

bool ReportDownloadProgress(HWND window, double percent)
{
    return Report(WM_SETUP_DOWNLOAD_PROGRESS, window, percent);
}

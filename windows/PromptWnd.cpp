#include "windows/PromptWnd.h"

#include "ui/controls/ControlUI.h"
#include "windows/ScaleReport.h"
#include "windows/WindowStyle.h"

using namespace SkinUI;

void PromptWnd::OnInitialized()
{
    LogWindowScale("prompt", GetManager());
    text = GetManager().FindByName(L"text");
    if (text != nullptr) text->SetText(message);
    // The keyboard starts on 确认, not on the close button before it.
    if (CControlUI* ok = GetManager().FindByName(L"btnOk")) GetManager().SetFocusTo(ok);
    // An alert to a screen reader, named with its message.
    if (CControlUI* root = GetManager().GetRoot()) root->SetCustomAttr(L"accwindowname", message);
}

LRESULT PromptWnd::HandleOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (message == kAlertMessage) {
        handled = true;
        NotifyWinEvent(EVENT_SYSTEM_ALERT, GetHWND(), OBJID_CLIENT, CHILDID_SELF);
        return 0;
    }
    return WindowImplBase::HandleOtherMessage(message, wParam, lParam, handled);
}

void PromptWnd::HandleNotify(TUINotify& notify)
{
    if (notify.type == L"click" && notify.sender != nullptr &&
        (notify.sender->GetName() == L"btnOk" || notify.sender->GetName() == L"btnExit"))
        CloseWithResult(1);
}

UINT ShowPrompt(const wchar_t* message, HWND owner)
{
    PromptWnd prompt;
    prompt.message = message;
    if (prompt.CreateNativeWindow(owner, kModalTitle, kInstallerWindowStyle, 0) == nullptr) return 0;
    prompt.CenterNativeWindow();
    // Heard as soon as it shows; the posted message arrives once the modal
    // loop runs.
    PostMessageW(prompt.GetHWND(), PromptWnd::kAlertMessage, 0, 0);
    return prompt.ShowModalLoop();
}

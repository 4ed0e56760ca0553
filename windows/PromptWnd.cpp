#include "windows/PromptWnd.h"

#include "ui/controls/ControlUI.h"
#include "windows/WindowStyle.h"

using namespace SkinUI;

void PromptWnd::OnInitialized()
{
    text = GetManager().FindByName(L"text");
    if (text != nullptr) text->SetText(message);
}

void PromptWnd::HandleNotify(TUINotify& notify)
{
    if (notify.type == L"click" && notify.sender != nullptr &&
        (notify.sender->GetName() == L"btnOk" || notify.sender->GetName() == L"btnExit"))
        CloseWithResult(1);
}

UINT ShowPrompt(const wchar_t* message)
{
    PromptWnd prompt;
    prompt.message = message;
    if (prompt.CreateNativeWindow(nullptr, kModalTitle, kInstallerWindowStyle, 0) == nullptr) return 0;
    prompt.CenterNativeWindow();
    return prompt.ShowModalLoop();
}

#pragma once
// The installer's own message box (skin 163): one read-only text and two
// buttons that both close it with 1.

#include "ui/core/WindowImplBase.h"

class PromptWnd : public SkinUI::WindowImplBase {
public:
    SkinUI::CControlUI* text = nullptr;  // the rich edit named "text"
    SkinUI::CUIString message;           // set by the caller before creation

    void OnInitialized() override;
    void HandleNotify(SkinUI::TUINotify& notify) override;
    // kAlertMessage: tells screen readers the prompt is there.
    LRESULT HandleOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    static constexpr UINT kAlertMessage = WM_APP + 0x3A2;

protected:
    const wchar_t* GetWindowClassName() const override { return L"PromptWnd"; }
    SkinUI::CUIString SkinFolder() override { return L""; }
    SkinUI::CUIString SkinSource() override { return L"163"; }
    int SkinResourceKind() override { return SkinUI::kSkinXmlResource; }
};

// Construct, create ("提示", the installer's popup style), centre on `owner`
// (the screen without one) and run the prompt modally with `message`, the
// owner disabled meanwhile; returns the modal result.
UINT ShowPrompt(const wchar_t* message, HWND owner = nullptr);

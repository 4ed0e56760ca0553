#pragma once
// The name window (skin 177): asks for the box's name before the wizard shows
// itself. An accepted name sets the install settings and closes the window;
// everything else keeps it open, saying why in the field itself, in red.

#include "ui/core/WindowImplBase.h"

class SetNameWnd : public SkinUI::WindowImplBase {
public:
    static constexpr const wchar_t* kHint = L"请在这里输入应用名称";
    static constexpr const wchar_t* kNoNameWarning = L"您的盒子还没有名字哦";
    static constexpr const wchar_t* kInvalidName = L"名字不能有特殊符号哦，也不能是纯数字哦";
    static constexpr DWORD kWarningColor = 0x00D02200;
    static constexpr DWORD kNormalColor = 0x0000EAFF;

    void HandleNotify(SkinUI::TUINotify& notify) override;
    // The window opens with the focus in the name field and the hint still
    // in it: the first key or click there clears it.
    LRESULT FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    // Enter is 立即安装; Escape closes as in every skinned window.
    bool HandleDefaultKey(WPARAM key) override;
    void OnInitialized() override;

protected:
    const wchar_t* GetWindowClassName() const override { return L"SetNameWnd"; }
    SkinUI::CUIString SkinFolder() override { return L""; }
    SkinUI::CUIString SkinSource() override { return L"177"; }
    int SkinResourceKind() override { return SkinUI::kSkinXmlResource; }

private:
    void ValidateAndSaveName();
    void ClearHintOnFocus();
    void RestoreHintOnBlur();
    SkinUI::CControlUI* NameEdit();
    void SetEditText(const wchar_t* text, DWORD color);

    // Until the user first types or clicks (again, after a warning),
    // focusing the field leaves its hint or warning readable.
    bool m_hintUntilInput = true;
    // A name refused with kInvalidName: back in the field for mending as
    // soon as the user types or clicks there.
    SkinUI::CUIString m_refused;
};

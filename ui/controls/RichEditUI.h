#pragma once
// A multi-line text box without a window of its own: the system's
// windowless rich-text engine edits and draws its text (CTxtWinHost hosts
// it). The control sees the window's keyboard messages before the manager
// does (a message filter) and hands them to the engine while it has the
// focus; mouse events come through the manager as usual. Setting the text
// replaces the whole content; every change sends "textchanged", and Enter
// sends "return" unless the control takes it as a new line (`wantreturn`).
//
// Read-only and disabled (the prompt window's message) it only displays:
// it never takes the focus, so no key reaches the engine.

#include <vector>

#include "ui/controls/ContainerUI.h"
#include "ui/controls/TxtWinHost.h"

namespace SkinUI {

class CRichEditUI : public CContainerUI, public IMessageFilterUI {
public:
    // Caret blink on layered windows, where the system caret cannot show.
    static constexpr UINT kCaretTimerId = 20;

    CRichEditUI();
    ~CRichEditUI() override;

    const wchar_t* ClassName() const override;
    void* InterfaceByName(const wchar_t* name) override;
    UINT ControlFlags() const override;
    bool WantsTab() const override { return m_wantTab; }

    CUIString GetText() const override;
    void SetText(const wchar_t* text) override;
    void DoInit() override;
    void PlaceAt(RECT rect, bool invalidate = true) override;
    void ScaleChanged() override;
    void HandleEvent(TUIEvent& event) override;
    void SetAttr(const wchar_t* name, const wchar_t* value) override;
    void PaintText(HDC dc) override;

    // IMessageFilterUI: keys and input-method messages for the engine.
    LRESULT FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return (m_style & ES_READONLY) != 0; }
    void SetWantTab(bool want) { m_wantTab = want; }
    void SetWantReturn(bool want) { m_wantReturn = want; }
    void SetWantCtrlReturn(bool want) { m_wantCtrlReturn = want; }
    void SetFont(int index);
    int GetFont() const { return m_font; }
    void SetTextColor(DWORD color);
    DWORD GetTextColor() const { return m_textColor; }
    // Device pixels at the control's scale (the skin's value scaled).
    RECT GetTextPadding() const { return m_textPadding; }
    void SetTextPadding(const RECT& padding);
    DWORD GetStyle() const { return m_style; }
    // Whether the engine is there (the library loaded and made it).
    bool HasEngine() const { return m_host != nullptr && m_host->Services() != nullptr; }

    // Called by the host.
    void OnEngineNotify(DWORD code, void* data);
    void InvalidateCaret();

private:
    TTextHostSettings Settings() const;
    void ApplySettings();
    RECT EngineRect() const;
    // GDI leaves the alpha byte at 0 where it draws into a 32-bit buffer:
    // on a layered window the engine's text would be invisible.
    void RestoreAlpha(const RECT& area, const std::vector<DWORD>& before);

    CTxtWinHost* m_host = nullptr;  // one reference, released on destruction
    DWORD m_style = ES_MULTILINE;
    bool m_wantTab = false;
    bool m_wantReturn = false;
    bool m_wantCtrlReturn = false;
    bool m_transparent = true;
    bool m_rich = true;
    int m_font = -1;
    DWORD m_textColor = 0;
    ScaledRect m_textPadding;
    bool m_caretBlinkOn = true;
};

}  // namespace SkinUI

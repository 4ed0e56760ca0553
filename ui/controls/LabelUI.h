#pragma once
// A control that draws a text: font, colours, alignment, padding, and the
// measuring a layout asks for when the label has no fixed size (the text's
// own width and the font's height, cached until something it depends on
// changes).

#include "ui/controls/ControlUI.h"

namespace SkinUI {

// GDI+ text effects a skin may ask for (glow, stroke, shadow, gradient).
// FIXME: kept but not drawn; no skin of the installer uses them and the text
// is drawn plainly with GDI.
struct TTextEffects {
    bool enabled = false;
    bool luminous = false;
    float luminousFuzzy = 3.0f;
    int gradientAngle = 0;
    bool stroke = false;
    bool shadow = false;
    int gradientLength = 0;
    POINT shadowOffset = {0, 0};
    DWORD textColor1 = 0;
    DWORD shadowColorA = 0;
    DWORD shadowColorB = 0;
    DWORD strokeColor = 0;
};

class CLabelUI : public CControlUI {
public:
    CLabelUI();

    const wchar_t* ClassName() const override;
    void* InterfaceByName(const wchar_t* name) override;

    void SetText(const wchar_t* text) override;
    void SetTextStyle(UINT style);
    UINT GetTextStyle() const { return m_textStyle; }
    void SetTextColor(DWORD color);
    DWORD GetTextColor() const { return m_textColor; }
    void SetDisabledTextColor(DWORD color);
    DWORD GetDisabledTextColor() const { return m_disabledTextColor; }
    void SetFont(int index);
    int GetFont() const { return m_font; }
    // Device pixels at the control's scale (the skin's value scaled).
    RECT GetTextPadding() const { return m_textPadding; }
    void SetTextPadding(const RECT& padding);
    bool IsShowHtml() const { return m_showHtml; }
    void SetShowHtml(bool show = true);
    const TTextEffects& GetTextEffects() const { return m_effects; }

    SIZE MeasureSize(SIZE available) override;
    void ScaleChanged() override;
    void HandleEvent(TUIEvent& event) override;
    void SetAttr(const wchar_t* name, const wchar_t* value) override;
    void PaintText(HDC dc) override;

protected:
    // Draws the label's text inside its text padding in `color` (ARGB).
    void DrawLabelText(HDC dc, DWORD color, UINT extraStyle = 0);
    // The text as drawn: %{N} replaced from the language table.
    CUIString DisplayText() const;
    void InvalidateMeasure() { m_measureValid = false; }

    DWORD m_textColor = 0;
    DWORD m_disabledTextColor = 0;
    int m_font = -1;
    UINT m_textStyle = DT_VCENTER | DT_SINGLELINE;
    ScaledRect m_textPadding;
    bool m_showHtml = false;
    TTextEffects m_effects;

private:
    bool m_measureValid = false;
    SIZE m_measuredFor = {0, 0};
    SIZE m_measured = {0, 0};
};

}  // namespace SkinUI

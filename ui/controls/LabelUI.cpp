#include "ui/controls/LabelUI.h"

#include <cwchar>

#include "ui/controls/InlineText.h"
#include "ui/core/AttrValue.h"
#include "ui/core/GdiHandles.h"
#include "ui/core/UIManager.h"

namespace SkinUI {

namespace {
// Texts are shown as written: a "&" in a path or a name must not turn into
// an underline.
constexpr UINT kAlwaysStyle = DT_NOPREFIX;

COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }
}  // namespace

CLabelUI::CLabelUI() = default;

const wchar_t* CLabelUI::ClassName() const { return L"Label"; }

void* CLabelUI::InterfaceByName(const wchar_t* name)
{
    if (name != nullptr && std::wcscmp(name, L"Label") == 0) return this;
    return CControlUI::InterfaceByName(name);
}

void CLabelUI::SetText(const wchar_t* text)
{
    if (m_text == (text != nullptr ? text : L"")) return;
    InvalidateMeasure();
    CControlUI::SetText(text);
}

void CLabelUI::SetTextStyle(UINT style)
{
    if (((m_textStyle ^ style) & (DT_SINGLELINE | DT_WORDBREAK)) != 0) InvalidateMeasure();
    m_textStyle = style;
    Invalidate();
}

void CLabelUI::SetTextColor(DWORD color)
{
    m_textColor = color;
    Invalidate();
}

void CLabelUI::SetDisabledTextColor(DWORD color)
{
    m_disabledTextColor = color;
    Invalidate();
}

void CLabelUI::SetFont(int index)
{
    if (m_font == index) return;
    m_font = index;
    InvalidateMeasure();
    Invalidate();
}

void CLabelUI::ScaleChanged()
{
    m_textPadding.Apply(GetScale());
    InvalidateMeasure();
    CControlUI::ScaleChanged();
}

void CLabelUI::SetTextPadding(const RECT& padding)
{
    m_textPadding.Set(padding, GetScale());
    InvalidateMeasure();
    Invalidate();
}

void CLabelUI::SetShowHtml(bool show)
{
    if (m_showHtml == show) return;
    m_showHtml = show;
    Invalidate();
}

CUIString CLabelUI::DisplayText() const { return CUIManager::ExpandLanguageText(m_text); }

SIZE CLabelUI::MeasureSize(SIZE available)
{
    // Fixed sizes are logical; what is measured is in device pixels.
    const int fixedWidth = GetScale().Scale(m_fixedWidth);
    const int fixedHeight = GetScale().Scale(m_fixedHeight);
    if (fixedWidth > 0 && fixedHeight > 0) return SIZE{fixedWidth, fixedHeight};
    const bool multiLine = (m_textStyle & DT_SINGLELINE) == 0;
    if (m_measureValid && (!multiLine || (m_measuredFor.cx == available.cx && m_measuredFor.cy == available.cy))) {
        return m_measured;
    }
    if (m_manager == nullptr) return SIZE{fixedWidth, fixedHeight};
    const TFontInfo* font = m_manager->GetFontInfo(m_font);
    HDC dc = m_manager->GetPaintDC();
    SIZE result = {fixedWidth, fixedHeight};
    CUIString text = DisplayText();

    if (!multiLine) {
        if (fixedHeight == 0) {
            result.cy = m_textPadding.top + m_textPadding.bottom + (font != nullptr ? font->metrics.tmHeight : 0) + 8;
        }
        if (fixedWidth == 0) {
            RECT measure = {0, 0, 9999, 100};
            if (dc != nullptr && !text.IsEmpty()) {
                CSelectObject select(dc, font != nullptr ? font->font.Get() : nullptr);
                ::DrawTextW(dc, text, -1, &measure, DT_CALCRECT | DT_SINGLELINE | kAlwaysStyle);
            } else {
                measure.right = 0;
            }
            result.cx = m_textPadding.left + m_textPadding.right + (measure.right - measure.left);
        }
    } else {
        result.cx = fixedWidth > 0 ? fixedWidth : available.cx;
        RECT measure = {0, 0, result.cx - m_textPadding.left - m_textPadding.right, 9999};
        if (measure.right < 0) measure.right = 0;
        int textHeight = 0;
        if (dc != nullptr && !text.IsEmpty()) {
            CSelectObject select(dc, font != nullptr ? font->font.Get() : nullptr);
            ::DrawTextW(dc, text, -1, &measure, DT_CALCRECT | DT_WORDBREAK | kAlwaysStyle);
            textHeight = measure.bottom - measure.top;
        }
        result.cy = fixedHeight > 0 ? fixedHeight : m_textPadding.top + m_textPadding.bottom + textHeight;
    }
    m_measured = result;
    m_measuredFor = available;
    m_measureValid = true;
    return result;
}

void CLabelUI::HandleEvent(TUIEvent& event)
{
    // Labels take and lose the focus without drawing anything different.
    if (event.type == UIEVENT_SETFOCUS) {
        m_focused = true;
        return;
    }
    if (event.type == UIEVENT_KILLFOCUS) {
        m_focused = false;
        return;
    }
    CControlUI::HandleEvent(event);
}

void CLabelUI::SetAttr(const wchar_t* name, const wchar_t* value)
{
    using namespace AttrValue;
    if (value == nullptr) value = L"";
    if (std::wcscmp(name, L"align") == 0) {
        UINT style = m_textStyle;
        if (Contains(value, L"left")) style = (style & ~(DT_CENTER | DT_RIGHT)) | DT_LEFT;
        if (Contains(value, L"center")) style = (style & ~(DT_LEFT | DT_RIGHT)) | DT_CENTER;
        if (Contains(value, L"right")) style = (style & ~(DT_LEFT | DT_CENTER)) | DT_RIGHT;
        SetTextStyle(style);
    } else if (std::wcscmp(name, L"valign") == 0) {
        UINT style = m_textStyle;
        if (Contains(value, L"top")) style = (style & ~(DT_BOTTOM | DT_VCENTER)) | DT_TOP;
        if (Contains(value, L"vcenter")) style = (style & ~(DT_TOP | DT_BOTTOM)) | DT_VCENTER;
        if (Contains(value, L"bottom")) style = (style & ~(DT_TOP | DT_VCENTER)) | DT_BOTTOM;
        SetTextStyle(style);
    } else if (std::wcscmp(name, L"endellipsis") == 0) {
        SetTextStyle(IsTrue(value) ? (m_textStyle | DT_END_ELLIPSIS) : (m_textStyle & ~DT_END_ELLIPSIS));
    } else if (std::wcscmp(name, L"font") == 0) {
        SetFont(ToLong(value));
    } else if (std::wcscmp(name, L"textcolor") == 0) {
        SetTextColor(ToColor(value));
    } else if (std::wcscmp(name, L"disabledtextcolor") == 0) {
        SetDisabledTextColor(ToColor(value));
    } else if (std::wcscmp(name, L"textpadding") == 0) {
        long n[4];
        ToNumbers(value, n, 4);
        SetTextPadding(RECT{n[0], n[1], n[2], n[3]});
    } else if (std::wcscmp(name, L"multiline") == 0) {
        if (IsTrue(value)) SetTextStyle((m_textStyle & ~DT_SINGLELINE) | DT_WORDBREAK);
        else SetTextStyle((m_textStyle & ~DT_WORDBREAK) | DT_SINGLELINE);
    } else if (std::wcscmp(name, L"showhtml") == 0) {
        SetShowHtml(IsTrue(value));
    } else if (std::wcscmp(name, L"enabledeffect") == 0) {
        m_effects.enabled = IsTrue(value);
    } else if (std::wcscmp(name, L"enabledluminous") == 0) {
        m_effects.luminous = IsTrue(value);
    } else if (std::wcscmp(name, L"luminousfuzzy") == 0) {
        m_effects.luminousFuzzy = static_cast<float>(std::wcstod(value, nullptr));
    } else if (std::wcscmp(name, L"gradientangle") == 0) {
        m_effects.gradientAngle = ToLong(value);
    } else if (std::wcscmp(name, L"enabledstroke") == 0) {
        m_effects.stroke = IsTrue(value);
    } else if (std::wcscmp(name, L"enabledshadow") == 0) {
        m_effects.shadow = IsTrue(value);
    } else if (std::wcscmp(name, L"gradientlength") == 0) {
        m_effects.gradientLength = ToLong(value);
    } else if (std::wcscmp(name, L"shadowoffset") == 0) {
        long n[2];
        ToNumbers(value, n, 2);
        m_effects.shadowOffset = {n[0], n[1]};
    } else if (std::wcscmp(name, L"textcolor1") == 0) {
        m_effects.textColor1 = ToColor(value);
    } else if (std::wcscmp(name, L"textshadowcolora") == 0) {
        m_effects.shadowColorA = ToColor(value);
    } else if (std::wcscmp(name, L"textshadowcolorb") == 0) {
        m_effects.shadowColorB = ToColor(value);
    } else if (std::wcscmp(name, L"strokecolor") == 0) {
        m_effects.strokeColor = ToColor(value);
    } else {
        CControlUI::SetAttr(name, value);
    }
}

void CLabelUI::PaintText(HDC dc)
{
    DWORD color;
    if (IsEnabled()) {
        color = m_textColor != 0 ? m_textColor : CUIManager::GetDefaultFontColor();
    } else {
        color = m_disabledTextColor != 0 ? m_disabledTextColor : CUIManager::GetDefaultDisabledColor();
    }
    DrawLabelText(dc, color);
}

void CLabelUI::DrawLabelText(HDC dc, DWORD color, UINT extraStyle)
{
    if (m_text.IsEmpty() || m_manager == nullptr) return;
    RECT rect = m_rcItem;
    rect.left += m_textPadding.left;
    rect.top += m_textPadding.top;
    rect.right -= m_textPadding.right;
    rect.bottom -= m_textPadding.bottom;
    CUIString text = DisplayText();
    if (m_showHtml) {
        TInlineStyle style;
        style.font = m_font;
        style.textStyle = m_textStyle | extraStyle;
        style.textColor = color;
        style.linkColor = CUIManager::GetDefaultLinkFontColor();
        style.linkHoverColor = CUIManager::GetDefaultLinkHoverFontColor();
        DrawInlineText(dc, m_manager, rect, ParseInlineMarkup(text), style);
        return;
    }
    // FIXME: GDI text leaves alpha 0 in a layered window's buffer; the
    // installer's layered windows all have a layered image, whose alpha
    // replaces it, but a layered window without one shows no text.
    CSelectObject select(dc, m_manager->GetFont(m_font));
    int oldMode = ::SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = ::SetTextColor(dc, ToColorRef(color));
    ::DrawTextW(dc, text, -1, &rect, m_textStyle | extraStyle | kAlwaysStyle);
    ::SetTextColor(dc, oldColor);
    ::SetBkMode(dc, oldMode);
}

}  // namespace SkinUI

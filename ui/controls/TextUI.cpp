#include "ui/controls/TextUI.h"

#include <cwchar>

#include "ui/core/UIManager.h"

namespace SkinUI {

CTextUI::CTextUI() = default;

const wchar_t* CTextUI::ClassName() const { return L"Text"; }

void* CTextUI::InterfaceByName(const wchar_t* name)
{
    if (name != nullptr && std::wcscmp(name, L"Text") == 0) return this;
    return CLabelUI::InterfaceByName(name);
}

UINT CTextUI::ControlFlags() const { return UIFLAG_SETCURSOR; }

void CTextUI::SetText(const wchar_t* text)
{
    CLabelUI::SetText(text);
    // The old rectangles point at words that are gone.
    m_links.clear();
    m_hotLink = -1;
}

void CTextUI::ParseText() { m_parsed = ParseInlineMarkup(DisplayText()); }

CUIString CTextUI::GetLinkTarget(int link) const
{
    if (link < 0 || static_cast<size_t>(link) >= m_parsed.linkTargets.size()) return CUIString();
    return m_parsed.linkTargets[static_cast<size_t>(link)];
}

int CTextUI::LinkAt(POINT point) const
{
    for (const TInlineLinkRect& link : m_links) {
        if (::PtInRect(&link.rect, point)) return link.link;
    }
    return -1;
}

SIZE CTextUI::MeasureSize(SIZE available)
{
    // Fixed sizes are logical; what is measured is in device pixels.
    const int fixedWidth = GetScale().Scale(m_fixedWidth);
    const int fixedHeight = GetScale().Scale(m_fixedHeight);
    if (!m_showHtml || m_manager == nullptr) return CLabelUI::MeasureSize(available);
    if (fixedWidth > 0 && fixedHeight > 0) return SIZE{fixedWidth, fixedHeight};
    ParseText();
    TInlineStyle style;
    style.font = m_font;
    style.textStyle = m_textStyle;
    const int horizontal = m_textPadding.left + m_textPadding.right;
    const int vertical = m_textPadding.top + m_textPadding.bottom;
    SIZE result = {fixedWidth, fixedHeight};
    if (m_textStyle & DT_SINGLELINE) {
        RECT unlimited = {0, 0, 9999, 9999};
        SIZE extent = DrawInlineText(nullptr, m_manager, unlimited, m_parsed, style, true);
        if (fixedWidth == 0) result.cx = horizontal + extent.cx;
        if (fixedHeight == 0) result.cy = vertical + m_manager->GetFontInfo(m_font)->metrics.tmHeight + 8;
    } else {
        result.cx = fixedWidth > 0 ? fixedWidth : available.cx;
        RECT wrapped = {0, 0, result.cx - horizontal, 9999};
        if (wrapped.right < 0) wrapped.right = 0;
        SIZE extent = DrawInlineText(nullptr, m_manager, wrapped, m_parsed, style, true);
        if (fixedHeight == 0) result.cy = vertical + extent.cy;
    }
    return result;
}

void CTextUI::HandleEvent(TUIEvent& event)
{
    if (!IsMouseEnabled() && event.type >= UIEVENT_MOUSEBEGIN && event.type <= UIEVENT_MOUSEEND) {
        if (m_parent != nullptr) m_parent->HandleEvent(event);
        else CLabelUI::HandleEvent(event);
        return;
    }
    switch (event.type) {
    case UIEVENT_SETCURSOR:
        if (IsEnabled() && LinkAt(event.mouse) >= 0) {
            ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
        } else {
            ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));  // IDC_ARROW
        }
        return;
    case UIEVENT_MOUSEMOVE: {
        const int hot = IsEnabled() ? LinkAt(event.mouse) : -1;
        if (hot != m_hotLink) {
            m_hotLink = hot;
            Invalidate();
        }
        return;
    }
    case UIEVENT_MOUSELEAVE:
        if (m_hotLink != -1) {
            m_hotLink = -1;
            Invalidate();
        }
        return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        return;
    case UIEVENT_BUTTONUP:
        if (IsEnabled() && m_manager != nullptr) {
            const int link = LinkAt(event.mouse);
            if (link >= 0) m_manager->EmitNotify(this, L"link", static_cast<WPARAM>(link));
        }
        return;
    case UIEVENT_CONTEXTMENU:
        return;
    default:
        break;
    }
    CLabelUI::HandleEvent(event);
}

void CTextUI::PaintText(HDC dc)
{
    DWORD color;
    if (IsEnabled()) color = m_textColor != 0 ? m_textColor : CUIManager::GetDefaultFontColor();
    else color = m_disabledTextColor != 0 ? m_disabledTextColor : CUIManager::GetDefaultDisabledColor();
    if (!m_showHtml || m_manager == nullptr) {
        m_links.clear();
        DrawLabelText(dc, color);
        return;
    }
    ParseText();
    RECT rect = m_rcItem;
    rect.left += m_textPadding.left;
    rect.top += m_textPadding.top;
    rect.right -= m_textPadding.right;
    rect.bottom -= m_textPadding.bottom;
    TInlineStyle style;
    style.font = m_font;
    style.textStyle = m_textStyle;
    style.textColor = color;
    style.linkColor = IsEnabled() ? CUIManager::GetDefaultLinkFontColor() : color;
    style.linkHoverColor = IsEnabled() ? CUIManager::GetDefaultLinkHoverFontColor() : color;
    style.hotLink = m_hotLink;
    DrawInlineText(dc, m_manager, rect, m_parsed, style, false, &m_links, kMaxLinks);
}

}  // namespace SkinUI

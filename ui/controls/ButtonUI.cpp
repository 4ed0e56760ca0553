#include "ui/controls/ButtonUI.h"

#include <algorithm>
#include <cwchar>

#include "ui/core/AttrValue.h"
#include "ui/core/UIManager.h"

namespace SkinUI {

CButtonUI::CButtonUI() { m_textStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER; }

const wchar_t* CButtonUI::ClassName() const { return L"Button"; }

void* CButtonUI::InterfaceByName(const wchar_t* name)
{
    if (name != nullptr && std::wcscmp(name, L"Button") == 0) return this;
    return CLabelUI::InterfaceByName(name);
}

UINT CButtonUI::ControlFlags() const
{
    UINT flags = UIFLAG_SETCURSOR;
    if (IsKeyboardEnabled()) flags |= UIFLAG_TABSTOP;
    return flags;
}

UINT CButtonUI::GetButtonState() const
{
    UINT state = m_state;
    // Focus shows only where the keyboard cues are on: not for mouse users.
    if (IsFocused() && m_manager != nullptr && m_manager->ShowsKeyboardCues()) state |= UISTATE_FOCUSED;
    if (!IsEnabled()) state |= UISTATE_DISABLED;
    return state;
}

bool CButtonUI::Trigger()
{
    if (!CLabelUI::Trigger()) return false;
    if (m_manager != nullptr) m_manager->EmitNotify(this, L"click");
    return true;
}

void CButtonUI::StartFade()
{
    // Already running: the next tick simply heads the other way.
    if (m_fadeDelta > 0 && m_manager != nullptr) m_manager->SetUITimer(this, kFadeTimerId, kFadeIntervalMs);
}

void CButtonUI::StepFade()
{
    // The fade alpha is the weight of the normal image: it falls towards 0
    // while hot (the hot image takes over) and rises back to 255 otherwise.
    int alpha = m_fadeAlpha;
    if (m_state & UISTATE_HOT) alpha = alpha > m_fadeDelta ? alpha - m_fadeDelta : 0;
    else alpha = alpha + m_fadeDelta < 255 ? alpha + m_fadeDelta : 255;
    m_fadeAlpha = static_cast<BYTE>(alpha);
    if ((alpha == 0 || alpha == 255 || m_fadeDelta == 0) && m_manager != nullptr) {
        m_manager->KillUITimer(this, kFadeTimerId);
    }
    Invalidate();
}

void CButtonUI::SetEnabled(bool enabled)
{
    CLabelUI::SetEnabled(enabled);
    if (!enabled) m_state = 0;
}

void CButtonUI::HandleEvent(TUIEvent& event)
{
    if (!IsMouseEnabled() && event.type >= UIEVENT_MOUSEBEGIN && event.type <= UIEVENT_MOUSEEND) {
        if (m_parent != nullptr) m_parent->HandleEvent(event);
        else CLabelUI::HandleEvent(event);
        return;
    }
    const bool inside = ::PtInRect(&m_rcItem, event.mouse) != FALSE;
    switch (event.type) {
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
        m_focused = event.type == UIEVENT_SETFOCUS;
        Invalidate();
        return;
    case UIEVENT_KEYDOWN:
        if (IsKeyboardEnabled() && IsEnabled() && (event.key == VK_SPACE || event.key == VK_RETURN)) {
            Trigger();
            return;
        }
        break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (inside && IsEnabled()) {
            m_state |= UISTATE_PUSHED | UISTATE_CAPTURED;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSEMOVE:
        if (m_state & UISTATE_CAPTURED) {
            UINT pushed = inside ? static_cast<UINT>(UISTATE_PUSHED) : 0u;
            if ((m_state & UISTATE_PUSHED) != pushed) {
                m_state = (m_state & ~UISTATE_PUSHED) | pushed;
                Invalidate();
            }
        }
        return;
    case UIEVENT_BUTTONUP:
        if (m_state & UISTATE_CAPTURED) {
            m_state &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
            // Released away from the button: the pointer left it during the
            // capture, when no leave could be heard.
            if (!inside) m_state &= ~UISTATE_HOT;
            Invalidate();
            // Last: a click handler may close the window or replace the tree.
            if (inside && IsEnabled()) Trigger();
        }
        return;
    case UIEVENT_CONTEXTMENU:
        if (IsContextMenuUsed() && m_manager != nullptr) {
            m_manager->EmitNotify(this, L"menu", event.wParam, event.lParam);
        }
        return;
    case UIEVENT_MOUSEENTER:
        if (inside && IsEnabled()) {
            m_state |= UISTATE_HOT;
            StartFade();
            Invalidate();
        }
        return;
    case UIEVENT_MOUSELEAVE:
        if (inside && IsEnabled()) {
            // Still over the button: a native child or a floating control
            // covers it. Keep hot and hear about every later leave.
            if (m_manager != nullptr) m_manager->AddMouseLeaveNeeded(this);
            return;
        }
        if (m_manager != nullptr) m_manager->RemoveMouseLeaveNeeded(this);
        if (m_state & UISTATE_HOT) {
            m_state &= ~UISTATE_HOT;
            StartFade();
            Invalidate();
        }
        return;
    case UIEVENT_TIMER:
        if (event.wParam == kFadeTimerId) {
            StepFade();
            return;
        }
        break;
    case UIEVENT_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
        return;
    default:
        break;
    }
    CLabelUI::HandleEvent(event);
}

void CButtonUI::SetAttr(const wchar_t* name, const wchar_t* value)
{
    using namespace AttrValue;
    if (value == nullptr) value = L"";
    if (std::wcscmp(name, L"normalimage") == 0) SetNormalImage(value);
    else if (std::wcscmp(name, L"hotimage") == 0) SetHotImage(value);
    else if (std::wcscmp(name, L"pushedimage") == 0) SetPushedImage(value);
    else if (std::wcscmp(name, L"focusedimage") == 0) SetFocusedImage(value);
    else if (std::wcscmp(name, L"disabledimage") == 0) SetDisabledImage(value);
    else if (std::wcscmp(name, L"foreimage") == 0) SetForeImage(value);
    else if (std::wcscmp(name, L"hotforeimage") == 0) SetHotForeImage(value);
    else if (std::wcscmp(name, L"fivestatusimage") == 0) SetFiveStatusImage(value);
    else if (std::wcscmp(name, L"fadedelta") == 0) SetFadeDelta(static_cast<BYTE>(ToLong(value)));
    else if (std::wcscmp(name, L"hotbkcolor") == 0) SetHotBkColor(ToColor(value));
    else if (std::wcscmp(name, L"hottextcolor") == 0) SetHotTextColor(ToColor(value));
    else if (std::wcscmp(name, L"pushedtextcolor") == 0) SetPushedTextColor(ToColor(value));
    else if (std::wcscmp(name, L"focusedtextcolor") == 0) SetFocusedTextColor(ToColor(value));
    else CLabelUI::SetAttr(name, value);
}

void CButtonUI::PaintText(HDC dc)
{
    UINT state = GetButtonState();
    DWORD color;
    if (state & UISTATE_DISABLED) {
        color = m_disabledTextColor != 0 ? m_disabledTextColor : CUIManager::GetDefaultDisabledColor();
    } else if ((state & UISTATE_PUSHED) && m_pushedTextColor != 0) {
        color = m_pushedTextColor;
    } else if ((state & UISTATE_HOT) && m_hotTextColor != 0) {
        color = m_hotTextColor;
    } else if ((state & UISTATE_FOCUSED) && m_focusedTextColor != 0) {
        color = m_focusedTextColor;
    } else {
        color = m_textColor != 0 ? m_textColor : CUIManager::GetDefaultFontColor();
    }
    DrawLabelText(dc, color);
}

void CButtonUI::DrawStateImage(HDC dc, CImageSlot& image)
{
    if (!image.IsEmpty() && DrawImage(dc, image)) return;
    DrawImage(dc, m_normalImage);
}

void CButtonUI::PaintStatusImage(HDC dc)
{
    UINT state = GetButtonState();
    const bool fading = m_fadeDelta > 0;
    if (state & UISTATE_DISABLED) {
        DrawStateImage(dc, m_disabledImage);
    } else if (state & UISTATE_PUSHED) {
        DrawStateImage(dc, m_pushedImage);
        DrawImage(dc, m_pushedForeImage);
    } else if (state & UISTATE_HOT) {
        if (fading) {
            DrawImage(dc, m_normalImage, nullptr, m_fadeAlpha);
            DrawImage(dc, m_hotImage, nullptr, static_cast<BYTE>(255 - m_fadeAlpha));
        } else {
            DrawStateImage(dc, m_hotImage);
        }
        // A hot fore image or a hot background colour replaces the fore
        // image while hot.
        if (!m_hotForeImage.IsEmpty()) {
            DrawImage(dc, m_hotForeImage);
            return;
        }
        if (m_hotBkColor != 0) {
            FillColor(dc, m_rcPaint, m_hotBkColor);
            return;
        }
    } else if (state & UISTATE_FOCUSED) {
        // Without a picture of its own, a focused button looks hot.
        DrawStateImage(dc, m_focusedImage.IsEmpty() ? m_hotImage : m_focusedImage);
    } else if (fading) {
        DrawImage(dc, m_hotImage, nullptr, static_cast<BYTE>(255 - m_fadeAlpha));
        DrawImage(dc, m_normalImage, nullptr, m_fadeAlpha);
    } else {
        DrawImage(dc, m_normalImage);
    }
    DrawImage(dc, m_foreImage);
    if (state & UISTATE_FOCUSED) PaintFocusRing(dc);
}

void CButtonUI::PaintFocusRing(HDC dc)
{
    // Two logical pixels in the skins' light cyan, just inside the button.
    const int width = std::max(1, GetScale().Scale(2));
    const RECT& r = m_rcItem;
    const RECT sides[] = {{r.left, r.top, r.right, r.top + width},
                          {r.left, r.bottom - width, r.right, r.bottom},
                          {r.left, r.top + width, r.left + width, r.bottom - width},
                          {r.right - width, r.top + width, r.right, r.bottom - width}};
    for (const RECT& side : sides) FillColor(dc, side, kFocusRingColor);
}

void CButtonUI::CollectImages(std::vector<ImageDrawInfo*>& images)
{
    for (CImageSlot* slot : {&m_normalImage, &m_hotImage, &m_hotForeImage, &m_pushedImage, &m_pushedForeImage,
                             &m_focusedImage, &m_disabledImage, &m_fiveStatusImage}) {
        images.push_back(&slot->Info());
    }
    CLabelUI::CollectImages(images);
}

void CButtonUI::ScaleChanged()
{
    for (CImageSlot* slot : {&m_normalImage, &m_hotImage, &m_hotForeImage, &m_pushedImage, &m_pushedForeImage,
                             &m_focusedImage, &m_disabledImage, &m_fiveStatusImage}) {
        slot->Forget();
    }
    CLabelUI::ScaleChanged();
}

}  // namespace SkinUI

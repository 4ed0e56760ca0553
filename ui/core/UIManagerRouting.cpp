// The manager's message routing: window messages become control events, and
// the modal loop's pre-translation gives managers a look at queued messages
// (tab order, Alt shortcuts, key translators and pre-translate filters).
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>

#include <algorithm>

#include <cwchar>
#include <cwctype>

#include "ui/controls/ControlUI.h"
#include "ui/core/AccessibleObject.h"
#include "ui/core/ToolTip.h"
#include "ui/core/UIManager.h"
#include "ui/core/UIManagerShared.h"

namespace SkinUI {

namespace {

POINT PointFrom(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

// A mouse-button event as the button messages deliver it: the key state is
// the message's wParam.
TUIEvent ButtonEvent(UINT type, CControlUI* sender, POINT point, WPARAM wParam, LPARAM lParam)
{
    TUIEvent event;
    event.type = type;
    event.sender = sender;
    event.timestamp = ::GetTickCount();
    event.mouse = point;
    event.keyState = static_cast<WORD>(wParam);
    event.wParam = wParam;
    event.lParam = lParam;
    return event;
}

bool IsChildWindow(HWND window)
{
    return (::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) != 0;
}

}  // namespace

bool CUIManager::PreTranslateMessage(const MSG* message)
{
    if (message == nullptr || message->hwnd == nullptr) return false;
    // Newest first: a dialog opened over a window sees its keys before the
    // window underneath does.
    std::vector<CUIManager*> managers = CUIManagerShared::Get().managers;
    auto stillLive = [](CUIManager* manager) {
        const auto& live = CUIManagerShared::Get().managers;
        return std::find(live.begin(), live.end(), manager) != live.end();
    };

    if (IsChildWindow(message->hwnd)) {
        // A message for a native child (an edit box): every framework window
        // among its ancestors gets a look, innermost first.
        for (HWND ancestor = message->hwnd; ancestor != nullptr && IsChildWindow(ancestor);) {
            ancestor = ::GetParent(ancestor);
            if (ancestor == nullptr) break;
            for (auto it = managers.rbegin(); it != managers.rend(); ++it) {
                CUIManager* manager = *it;
                if (!stillLive(manager)) continue;
                if (manager->m_window != message->hwnd && manager->m_window != ancestor) continue;
                if (manager->TranslateAccelerators(message)) return true;
                if (manager->PreTranslate(message)) return true;
            }
        }
        return false;
    }
    for (auto it = managers.rbegin(); it != managers.rend(); ++it) {
        CUIManager* manager = *it;
        if (manager->m_window == message->hwnd && stillLive(manager)) {
            if (manager->TranslateAccelerators(message)) return true;
            return manager->PreTranslate(message);
        }
    }
    return false;
}

bool CUIManager::TranslateAccelerators(const MSG* message)
{
    for (size_t i = 0; i < m_keyTranslators.size(); ++i) {
        if (m_keyTranslators[i]->TranslateAccel(const_cast<MSG*>(message)) == 0) return true;
    }
    return false;
}

void CUIManager::ShowKeyboardCues()
{
    if (m_keyboardCues) return;
    m_keyboardCues = true;
    if (m_focus != nullptr) m_focus->Invalidate();
}

bool CUIManager::PreTranslate(const MSG* message)
{
    for (size_t i = 0; i < m_preTranslateFilters.size(); ++i) {
        bool handled = false;
        m_preTranslateFilters[i]->FilterMessage(message->message, message->wParam, message->lParam, handled);
        if (handled) return true;
    }
    switch (message->message) {
    case WM_KEYDOWN:
        if (message->wParam == VK_TAB) {
            // A rich edit that takes Tab for itself keeps it.
            if (m_focus != nullptr && m_focus->IsVisible() && m_focus->IsEnabled() &&
                std::wcsstr(m_focus->ClassName(), L"RichEdit") != nullptr && m_focus->WantsTab()) {
                return false;
            }
            ShowKeyboardCues();
            MoveFocusToTabStop(::GetKeyState(VK_SHIFT) >= 0);
            return true;
        }
        break;
    case WM_SYSCHAR: {
        if (m_root == nullptr) break;
        struct ShortcutSearch {
            wchar_t key;
            bool takeNext;
        } search{static_cast<wchar_t>(std::towupper(static_cast<wint_t>(message->wParam))), false};
        CControlUI* found = m_root->SearchTree(
            [](CControlUI* c, void* data) -> CControlUI* {
                auto* s = static_cast<ShortcutSearch*>(data);
                // A label names the shortcut of the control after it.
                if (s->takeNext) return c;
                if (std::towupper(static_cast<wint_t>(c->GetShortcut())) != s->key || c->GetShortcut() == 0) {
                    return nullptr;
                }
                if (std::wcsstr(c->ClassName(), L"Label") != nullptr) {
                    s->takeNext = true;
                    return nullptr;
                }
                return c;
            },
            &search, UIFIND_ENABLED | UIFIND_VISIBLE | UIFIND_ME_FIRST | UIFIND_TOP_FIRST);
        if (found != nullptr && IsInView(found)) {
            SetFocusTo(found);
            found->Trigger();
            return true;
        }
        break;
    }
    case WM_SYSKEYDOWN:
        // Alt shows the keyboard cues, as in every window of the system.
        if (message->wParam == VK_MENU) ShowKeyboardCues();
        if (m_focus != nullptr) SendEvent(m_focus, UIEVENT_SYSKEY, message->wParam, message->lParam,
                                          static_cast<WCHAR>(message->wParam));
        break;
    default:
        break;
    }
    return false;
}

void CUIManager::TrackMouse()
{
    if (m_mouseTracking || m_window == nullptr) return;
    TRACKMOUSEEVENT track = {};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_HOVER | TME_LEAVE;
    track.hwndTrack = m_window;
    track.dwHoverTime = m_tooltipWindow != nullptr ? ToolTip::InitialDelay(m_tooltipWindow) : m_hoverTime;
    if (::TrackMouseEvent(&track)) m_mouseTracking = true;
}

void CUIManager::OnMouseMove(POINT point, WPARAM wParam, LPARAM lParam)
{
    m_lastMouse = point;
    CControlUI* control = FindAtPoint(point);
    if (control != nullptr && control->GetManager() != this) control = nullptr;
    if (!m_mouseCapture && control != m_hot) {
        std::vector<CControlUI*> leaveNeeded = m_mouseLeaveNeeded;
        for (CControlUI* c : leaveNeeded) {
            // Each leave may unregister (or delete) others: check again.
            if (std::find(m_mouseLeaveNeeded.begin(), m_mouseLeaveNeeded.end(), c) != m_mouseLeaveNeeded.end()) {
                SendEvent(c, UIEVENT_MOUSELEAVE, wParam, lParam);
            }
        }
        if (m_hot != nullptr) SendEvent(m_hot, UIEVENT_MOUSELEAVE, wParam, lParam);
        HideTooltip();
        m_hot = control;
        if (m_hot != nullptr) SendEvent(m_hot, UIEVENT_MOUSEENTER, wParam, lParam);
    }
    if (m_click != nullptr) SendEvent(m_click, UIEVENT_MOUSEMOVE, wParam, lParam);
    else if (control != nullptr) SendEvent(control, UIEVENT_MOUSEMOVE, wParam, lParam);
}

void CUIManager::OnMouseLeaveWindow()
{
    HideTooltip();
    POINT point = {-1, -1};
    if (m_mouseTracking) {
        POINT cursor;
        RECT client;
        ::GetCursorPos(&cursor);
        ::ScreenToClient(m_window, &cursor);
        ::GetClientRect(m_window, &client);
        if (::PtInRect(&client, cursor) && ::GetActiveWindow() == m_window && !::IsIconic(m_window)) point = cursor;
    }
    m_mouseTracking = false;
    // Straight to the hover logic rather than through a posted WM_MOUSEMOVE:
    // that would start tracking again while the cursor is outside the window
    // or over a native child, and TrackMouseEvent answers that at once with
    // another WM_MOUSELEAVE, a busy loop for as long as the cursor stays
    // there.
    OnMouseMove(point, 0, point.x == -1 ? static_cast<LPARAM>(-1) : MAKELPARAM(point.x, point.y));
}

void CUIManager::ShowTooltip(CControlUI* control, POINT point)
{
    CUIString text = ExpandLanguageText(control->GetToolTip());
    if (text.IsEmpty()) return;
    if (m_tooltipWindow == nullptr) {
        m_tooltipWindow = ToolTip::Create(m_window);
        if (m_tooltipWindow == nullptr) return;
        m_lastTooltipWidth = -1;
    }
    if (control->GetToolTipWidth() != m_lastTooltipWidth) {
        m_lastTooltipWidth = control->GetToolTipWidth();
        ToolTip::SetMaxWidth(m_tooltipWindow, m_scale.Scale(m_lastTooltipWidth));
    }
    ToolTip::Show(m_tooltipWindow, m_window, control->GetPos(), text, point);
    m_tooltipControl = control;
}

void CUIManager::HideTooltip()
{
    ToolTip::Hide(m_tooltipWindow, m_window);
    m_tooltipControl = nullptr;
}

bool CUIManager::RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (m_window == nullptr) return false;

    for (size_t i = 0; i < m_messageFilters.size(); ++i) {
        bool handled = false;
        LRESULT filtered = m_messageFilters[i]->FilterMessage(message, wParam, lParam, handled);
        if (!handled) continue;
        switch (message) {
        case WM_CONTEXTMENU:
        case WM_MOUSEWHEEL: {
            // Screen coordinates in these two: kept in client coordinates
            // like every other stored mouse position.
            POINT point = PointFrom(lParam);
            ::ScreenToClient(m_window, &point);
            m_lastMouse = point;
            break;
        }
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_LBUTTONUP:
            m_lastMouse = PointFrom(lParam);
            break;
        default:
            break;
        }
        result = filtered;
        return true;
    }

    if (m_layered) {
        switch (message) {
        case WM_NCCALCSIZE:
        case WM_NCPAINT:
            result = 0;
            return true;
        case WM_NCACTIVATE:
            if (!::IsIconic(m_window)) {
                result = wParam == 0 ? TRUE : FALSE;
                return true;
            }
            break;
        default:
            break;
        }
    }

    switch (message) {
    case WM_UI_LAYERED_REFUSED:
        if (m_layered) {
            WaitForPresenter();
            m_layeredOnScreen = FlushLayeredWhole();
            if (!m_layeredOnScreen) InvalidateWindow();
        }
        result = 0;
        return true;
    case WM_UI_ASYNC_NOTIFY:
        DrainAsyncNotifications();
        result = 0;
        return true;
    case WM_UI_PICTURES_READY:
        AdoptPreloadedImages(lParam);
        result = 0;
        return true;
    case WM_GETOBJECT:
        result = Accessible().OnGetObject(wParam, lParam);
        if (result != 0) return true;
        break;
    case CAccessibleTree::kActionMessage:
        Accessible().OnAction(wParam, lParam);
        result = 0;
        return true;
    case WM_ACTIVATE:
        // The window is the user's again: a screen reader says where the
        // keyboard is.
        if (LOWORD(wParam) != WA_INACTIVE && m_focus != nullptr) Accessible().Notify(EVENT_OBJECT_FOCUS, m_focus);
        break;
    case WM_CLOSE: {
        if (m_hot != nullptr) SendEvent(m_hot, UIEVENT_MOUSELEAVE);
        if (m_click != nullptr) SendEvent(m_click, UIEVENT_BUTTONUP);
        m_hot = nullptr;
        m_click = nullptr;
        SetFocusTo(nullptr, false);
        if (::GetActiveWindow() == m_window) {
            HWND owner = IsChildWindow(m_window) ? ::GetParent(m_window) : ::GetWindow(m_window, GW_OWNER);
            if (owner != nullptr) ::SetFocus(owner);
        }
        if (m_tooltipWindow != nullptr) {
            ::DestroyWindow(m_tooltipWindow);
            m_tooltipWindow = nullptr;
        }
        break;
    }
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_WINDOWPOSCHANGING: {
        // A frame in flight would undo a move or resize made meanwhile: Wine
        // reads the window's rectangle when the frame starts and writes it
        // back when the frame is shown. So the window's own thread lets the
        // frame end first. A message sent from another thread is left alone:
        // it may come from the presenting thread, which would then wait for
        // this one.
        const UINT still = SWP_NOMOVE | SWP_NOSIZE;
        if (m_presenter && (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & still) != still &&
            !::InSendMessage()) {
            WaitForPresenter();
        }
        break;
    }
    case WM_WINDOWPOSCHANGED:
        // The focus a hidden window was denied is given on the paint after
        // it shows (by ShowWindow or SetWindowPos); a layered window paints
        // only when asked to.
        if ((reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW) && m_focusNeeded) InvalidateWindow();
        break;
    case WM_PAINT:
        // A layered window's pixels are the buffer's, not the system's: what
        // the system invalidated is dropped here, and the paint takes only
        // our own damage. The flush timer's paints skip this call, which is
        // a round trip to the window server on every frame.
        if (m_layered) ::ValidateRect(m_window, nullptr);
        OnPaint();
        result = 0;
        return true;
    case WM_PRINTCLIENT: {
        if (m_root == nullptr) break;
        HDC dc = reinterpret_cast<HDC>(wParam);
        RECT client;
        ::GetClientRect(m_window, &client);
        m_root->PaintInto(dc, client, nullptr);
        if (lParam & PRF_CHILDREN) {
            for (HWND child = ::GetWindow(m_window, GW_CHILD); child != nullptr;
                 child = ::GetWindow(child, GW_HWNDNEXT)) {
                if (!::IsWindowVisible(child)) continue;
                RECT rect;
                ::GetWindowRect(child, &rect);
                ::MapWindowPoints(HWND_DESKTOP, m_window, reinterpret_cast<POINT*>(&rect), 2);
                // As when printing into the layered buffer: the child's
                // clip region and objects must not stay in the caller's DC.
                const int saved = ::SaveDC(dc);
                ::SetWindowOrgEx(dc, -rect.left, -rect.top, nullptr);
                ::SendMessageW(child, WM_PRINT, wParam, lParam | PRF_NONCLIENT);
                ::RestoreDC(dc, saved);
            }
        }
        break;
    }
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        if (m_minInfo.cx > 0) info->ptMinTrackSize.x = m_scale.Scale(m_minInfo.cx);
        if (m_minInfo.cy > 0) info->ptMinTrackSize.y = m_scale.Scale(m_minInfo.cy);
        if (m_maxInfo.cx > 0) info->ptMaxTrackSize.x = m_scale.Scale(m_maxInfo.cx);
        if (m_maxInfo.cy > 0) info->ptMaxTrackSize.y = m_scale.Scale(m_maxInfo.cy);
        break;
    }
    case WM_SIZE:
        if (m_focus != nullptr) SendEvent(m_focus, UIEVENT_WINDOWSIZE, wParam, lParam);
        if (m_root != nullptr) m_root->NeedUpdate();
        if (m_layered) {
            m_layeredChanged = true;
            InvalidateWindow();
        }
        result = 0;
        return true;
    case WM_TIMER:
        if (wParam == kLayeredTimerId) {
            // While the last frame is still being handed over, the damage
            // waits for the next tick instead of the thread for the frame.
            // The timer stops on the first tick with nothing to paint, not
            // after each paint: while something moves, damage comes every
            // frame, and setting and killing the timer for each is two more
            // round trips to the window server. A window no longer layered
            // paints through WM_PAINT: its timer stops too.
            const bool presenting = m_presenter && m_presenter->Busy();
            if (!m_layered || ::IsRectEmpty(&m_dirty)) {
                ::KillTimer(m_window, kLayeredTimerId);
                m_layeredTimerRunning = false;
            } else if (!presenting && !::IsIconic(m_window)) {
                OnPaint();
            }
            result = 0;
            return true;
        }
        if (FireTimer(wParam, lParam)) {
            result = 0;
            return true;
        }
        break;
    case WM_MOUSEMOVE: {
        POINT point = PointFrom(lParam);
        RECT client;
        ::GetClientRect(m_window, &client);
        // Tracking starts only from inside: outside, TrackMouseEvent posts
        // WM_MOUSELEAVE straight away.
        if (::PtInRect(&client, point)) TrackMouse();
        OnMouseMove(point, wParam, lParam);
        break;
    }
    case WM_LBUTTONDOWN: {
        if (!m_noActivate) ::SetFocus(m_window);
        POINT point = PointFrom(lParam);
        m_lastMouse = point;
        CControlUI* control = FindAtPoint(point);
        if (control == nullptr || control->GetManager() != this) break;
        m_click = control;
        SetFocusTo(control);
        SetCapture();
        TUIEvent event = ButtonEvent(UIEVENT_BUTTONDOWN, control, point, wParam, lParam);
        control->DispatchEvent(event);
        break;
    }
    case WM_LBUTTONDBLCLK: {
        if (!m_noActivate) ::SetFocus(m_window);
        POINT point = PointFrom(lParam);
        m_lastMouse = point;
        CControlUI* control = FindAtPoint(point);
        if (control == nullptr || control->GetManager() != this) break;
        SetCapture();
        m_click = control;
        TUIEvent event = ButtonEvent(UIEVENT_DBLCLICK, control, point, wParam, lParam);
        control->DispatchEvent(event);
        break;
    }
    case WM_LBUTTONUP: {
        POINT point = PointFrom(lParam);
        m_lastMouse = point;
        if (m_click == nullptr) break;
        // Cleared before the event: its handler may run a modal loop or
        // replace the tree.
        CControlUI* click = m_click;
        m_click = nullptr;
        ReleaseCapture();
        TUIEvent event = ButtonEvent(UIEVENT_BUTTONUP, click, point, wParam, lParam);
        click->DispatchEvent(event);
        break;
    }
    case WM_RBUTTONDOWN: {
        if (!m_noActivate) ::SetFocus(m_window);
        POINT point = PointFrom(lParam);
        m_lastMouse = point;
        CControlUI* control = FindAtPoint(point);
        if (control == nullptr || control->GetManager() != this) break;
        SetFocusTo(control);
        TUIEvent event = ButtonEvent(UIEVENT_RBUTTONDOWN, control, point, wParam, lParam);
        control->DispatchEvent(event);
        m_click = control;
        break;
    }
    case WM_CONTEXTMENU: {
        if (m_mouseCapture || m_click == nullptr) break;
        POINT point = PointFrom(lParam);
        ::ScreenToClient(m_window, &point);
        m_lastMouse = point;
        CControlUI* click = m_click;
        m_click = nullptr;
        SendEvent(click, UIEVENT_CONTEXTMENU, wParam, reinterpret_cast<LPARAM>(click));
        break;
    }
    case WM_MOUSEWHEEL: {
        POINT point = PointFrom(lParam);
        ::ScreenToClient(m_window, &point);
        CControlUI* control = FindAtPoint(point);
        if (control == nullptr || control->GetManager() != this) break;
        // 1 (SB_LINEDOWN) when the wheel turned towards the user.
        int delta = GET_WHEEL_DELTA_WPARAM(wParam);
        SendEvent(control, UIEVENT_SCROLLWHEEL, delta < 0 ? 1 : 0, lParam);
        ::SendMessageW(m_window, WM_MOUSEMOVE, 0, MAKELPARAM(m_lastMouse.x, m_lastMouse.y));
        result = 0;
        return true;
    }
    case WM_MOUSEHOVER: {
        m_mouseTracking = false;
        POINT point = PointFrom(lParam);
        CControlUI* control = FindAtPoint(point);
        if (control == nullptr) break;
        if (m_hot != nullptr) SendEvent(m_hot, UIEVENT_MOUSEHOVER, wParam, lParam);
        ShowTooltip(control, point);
        result = 0;
        return true;
    }
    case WM_MOUSELEAVE:
        OnMouseLeaveWindow();
        break;
    case WM_SETCURSOR: {
        if (LOWORD(lParam) != HTCLIENT) break;
        if (m_mouseCapture) {
            result = TRUE;
            return true;
        }
        POINT point;
        ::GetCursorPos(&point);
        ::ScreenToClient(m_window, &point);
        CControlUI* control = FindAtPoint(point);
        if (control == nullptr || !(control->ControlFlags() & UIFLAG_SETCURSOR)) break;
        SendEvent(control, UIEVENT_SETCURSOR, wParam, lParam);
        result = TRUE;
        return true;
    }
    case WM_MOUSEACTIVATE:
        if (m_noActivate) {
            result = MA_NOACTIVATE;
            return true;
        }
        break;
    case WM_KEYDOWN:
        if (m_focus == nullptr) break;
        m_keyboard = m_focus;
        SendEvent(m_focus, UIEVENT_KEYDOWN, wParam, lParam, static_cast<WCHAR>(wParam));
        break;
    case WM_KEYUP:
        if (m_keyboard == nullptr) break;
        SendEvent(m_keyboard, UIEVENT_KEYUP, wParam, lParam, static_cast<WCHAR>(wParam));
        m_keyboard = nullptr;
        break;
    case WM_CHAR:
        if (m_focus == nullptr) break;
        SendEvent(m_focus, UIEVENT_CHAR, wParam, lParam, static_cast<WCHAR>(wParam));
        break;
    case WM_KILLFOCUS: {
        HWND gaining = reinterpret_cast<HWND>(wParam);
        if (gaining == nullptr || !::IsChild(m_window, gaining)) break;
        CControlUI* control = GetNativeWindowControl(gaining);
        if (control != nullptr && control != m_focus) SetFocusTo(control, false);
        break;
    }
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header == nullptr || header->hwndFrom == nullptr) break;
        result = ::SendMessageW(header->hwndFrom, message + kReflectBase, wParam, lParam);
        return true;
    }
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        if (lParam == 0) break;
        result = ::SendMessageW(reinterpret_cast<HWND>(lParam), message + kReflectBase, wParam, lParam);
        return true;
    default:
        break;
    }
    return false;
}

}  // namespace SkinUI

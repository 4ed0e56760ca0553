#include "ui/core/WindowImplBase.h"

#include <windowsx.h>

#include <cwchar>

#include "ui/controls/ControlUI.h"
#include "ui/core/AttrValue.h"
#include "ui/core/ResourceSettings.h"
#include "ui/markup/LayoutBuilder.h"

namespace SkinUI {

WindowImplBase::WindowImplBase()
{
    BeginNotifyMap();
    OnNotify(L"click", L"", [this](TUINotify& notify) { OnClickNotify(notify); });
}

WindowImplBase::~WindowImplBase() = default;

void WindowImplBase::OnClickNotify(TUINotify& notify)
{
    if (notify.sender == nullptr) return;
    const CUIString& name = notify.sender->GetName();
    if (name == L"closebtn") CloseWithResult(1);
    else if (name == L"minbtn") ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (name == L"maxbtn") ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    else if (name == L"restorebtn") ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
}

bool WindowImplBase::HandleDefaultKey(WPARAM key)
{
    if (key == VK_ESCAPE) {
        CloseWithResult(1);
        return true;
    }
    return false;
}

void WindowImplBase::HandleNotify(TUINotify& notify) { RouteNotify(notify); }

LRESULT WindowImplBase::FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (message == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
        if (HandleDefaultKey(wParam)) handled = true;
    }
    return 0;
}

LONG WindowImplBase::GetStyle()
{
    LONG style = static_cast<LONG>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE));
    return style & ~WS_CAPTION;
}

LRESULT WindowImplBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    bool handled = true;
    switch (message) {
    case WM_CREATE: result = OnCreate(message, wParam, lParam, handled); break;
    case WM_CLOSE: result = OnClose(message, wParam, lParam, handled); break;
    case WM_DESTROY: result = OnDestroy(message, wParam, lParam, handled); break;
    case WM_NCACTIVATE: result = OnNcActivate(message, wParam, lParam, handled); break;
    case WM_NCCALCSIZE: result = OnNcCalcSize(message, wParam, lParam, handled); break;
    case WM_NCPAINT: result = OnNcPaint(message, wParam, lParam, handled); break;
    case WM_NCHITTEST: result = OnNcHitTest(message, wParam, lParam, handled); break;
    case WM_GETMINMAXINFO: result = OnGetMinMaxInfo(message, wParam, lParam, handled); break;
    case WM_MOUSEWHEEL: result = OnMouseWheel(message, wParam, lParam, handled); break;
    case WM_MOUSEHOVER: result = OnMouseHover(message, wParam, lParam, handled); break;
    case WM_SIZE: result = OnSize(message, wParam, lParam, handled); break;
    case WM_DPICHANGED: result = OnDpiChanged(message, wParam, lParam, handled); break;
    case WM_CHAR: result = OnChar(message, wParam, lParam, handled); break;
    case WM_SYSCOMMAND: result = OnSysCommand(message, wParam, lParam, handled); break;
    case WM_KEYDOWN: result = OnKeyDown(message, wParam, lParam, handled); break;
    case WM_KILLFOCUS: result = OnKillFocus(message, wParam, lParam, handled); break;
    case WM_SETFOCUS: result = OnSetFocus(message, wParam, lParam, handled); break;
    case WM_LBUTTONUP: result = OnLButtonUp(message, wParam, lParam, handled); break;
    case WM_LBUTTONDOWN: result = OnLButtonDown(message, wParam, lParam, handled); break;
    case WM_MOUSEMOVE: result = OnMouseMove(message, wParam, lParam, handled); break;
    default: handled = false; break;
    }
    if (!handled) result = HandleOtherMessage(message, wParam, lParam, handled);
    if (handled) return result;
    if (m_manager.RouteMessage(message, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(message, wParam, lParam);
}

void WindowImplBase::OnFinalMessage(HWND window)
{
    m_manager.RemovePreTranslateFilter(this);
    m_manager.RemoveNotifyListener(this);
    m_manager.ReleaseWindow();
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, bool& handled)
{
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, bool& handled)
{
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM wParam, LPARAM, bool& handled)
{
    if (::IsIconic(m_hWnd)) {
        handled = false;
        return 0;
    }
    return wParam == 0 ? TRUE : FALSE;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (!::IsZoomed(m_hWnd)) return 0;  // the whole window is client area
    // Maximised, a borderless window would cover the task bar: keep it to
    // the work area of its monitor.
    RECT* proposed = wParam != 0 ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                                 : reinterpret_cast<RECT*>(lParam);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
    proposed->right = proposed->left + (monitor.rcWork.right - monitor.rcWork.left);
    proposed->bottom = proposed->top + (monitor.rcWork.bottom - monitor.rcWork.top);
    return WVR_REDRAW;
}

LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, bool&) { return 0; }

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, bool&)
{
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(m_hWnd, &point);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;

    if (!::IsZoomed(m_hWnd)) {
        RECT box = m_manager.GetSizeBox();
        if (point.y < box.top) {
            if (point.x < box.left) return HTTOPLEFT;
            if (point.x >= width - box.right) return HTTOPRIGHT;
            return HTTOP;
        }
        if (point.y >= height - box.bottom) {
            if (point.x < box.left) return HTBOTTOMLEFT;
            if (point.x >= width - box.right) return HTBOTTOMRIGHT;
            return HTBOTTOM;
        }
        if (point.x < box.left) return HTLEFT;
        if (point.x >= width - box.right) return HTRIGHT;
    }

    RECT caption = m_manager.GetCaptionRect();
    if (point.x < caption.left || point.x >= width - caption.right) return HTCLIENT;
    if (point.y >= caption.top && point.y < caption.bottom) {
        // Labels and layouts in the band drag the window; buttons, options
        // and texts stay clickable.
        CControlUI* control = m_manager.FindAtPoint(point);
        if (control != nullptr && !AttrValue::EqualsNoCase(control->ClassName(), L"Button") &&
            !AttrValue::EqualsNoCase(control->ClassName(), L"Option") &&
            !AttrValue::EqualsNoCase(control->ClassName(), L"Text")) {
            return HTCAPTION;
        }
    }
    return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, bool& handled)
{
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
    info->ptMaxPosition.x = monitor.rcWork.left - monitor.rcMonitor.left;
    info->ptMaxPosition.y = monitor.rcWork.top - monitor.rcMonitor.top;
    info->ptMaxTrackSize.x = monitor.rcWork.right - monitor.rcWork.left;
    info->ptMaxTrackSize.y = monitor.rcWork.bottom - monitor.rcWork.top;
    info->ptMinTrackSize.x = m_manager.GetMinInfo().cx;
    info->ptMinTrackSize.y = m_manager.GetMinInfo().cy;
    // The manager then applies the skin's own limits.
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnMouseWheel(UINT, WPARAM, LPARAM, bool& handled)
{
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnMouseHover(UINT, WPARAM, LPARAM, bool& handled)
{
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM, LPARAM, bool& handled)
{
    SIZE round = m_manager.GetRoundCorner();
    if (!::IsIconic(m_hWnd) && (round.cx != 0 || round.cy != 0)) {
        RECT rect;
        ::GetWindowRect(m_hWnd, &rect);
        ::OffsetRect(&rect, -rect.left, -rect.top);
        // The region belongs to the system once it is set.
        HRGN region = ::CreateRoundRectRgn(rect.left, rect.top, rect.right + 1, rect.bottom + 1, round.cx, round.cy);
        if (region != nullptr && !::SetWindowRgn(m_hWnd, region, TRUE)) ::DeleteObject(region);
    }
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnDpiChanged(UINT, WPARAM wParam, LPARAM lParam, bool&)
{
    // The window went to a monitor of another scale (or the user changed
    // it): lay out at the new DPI, then take the rectangle the system
    // suggests, which keeps the window where the user put it.
    m_manager.SetDpi(HIWORD(wParam), true);
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    if (suggested != nullptr) {
        ::SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return 0;
}

LRESULT WindowImplBase::OnChar(UINT, WPARAM, LPARAM, bool& handled)
{
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if ((wParam & 0xFFF0) == SC_CLOSE) {
        ::SendMessageW(m_hWnd, WM_CLOSE, 0, 0);
        return 0;
    }
    bool wasZoomed = ::IsZoomed(m_hWnd) != FALSE;
    LRESULT result = CWindowWnd::HandleMessage(message, wParam, lParam);
    bool zoomed = ::IsZoomed(m_hWnd) != FALSE;
    if (zoomed != wasZoomed) {
        CControlUI* maxButton = m_manager.FindByName(L"maxbtn");
        CControlUI* restoreButton = m_manager.FindByName(L"restorebtn");
        if (maxButton != nullptr && restoreButton != nullptr) {
            maxButton->SetVisible(!zoomed);
            restoreButton->SetVisible(zoomed);
        }
    }
    return result;
}

LRESULT WindowImplBase::OnKeyDown(UINT, WPARAM, LPARAM, bool& handled)
{
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnKillFocus(UINT, WPARAM, LPARAM, bool& handled)
{
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnSetFocus(UINT, WPARAM, LPARAM, bool& handled)
{
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnLButtonDown(UINT, WPARAM, LPARAM, bool& handled)
{
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnLButtonUp(UINT, WPARAM, LPARAM, bool& handled)
{
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnMouseMove(UINT, WPARAM, LPARAM, bool& handled)
{
    handled = false;
    return 0;
}

LRESULT WindowImplBase::HandleOtherMessage(UINT, WPARAM, LPARAM, bool& handled)
{
    handled = false;
    return 0;
}

CControlUI* WindowImplBase::BuildSkin()
{
    CLayoutBuilder builder;
    CUIString source = SkinSource();
    if (SkinResourceKind() == kSkinXmlResource) {
        long id = AttrValue::ToLong(source);
        if (id <= 0 || id >= 0x10000) return nullptr;
        return builder.BuildFromSource(MAKEINTRESOURCEW(id), L"xml", this, &m_manager);
    }
    return builder.BuildFromSource(source, nullptr, this, &m_manager);
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, bool&)
{
    LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    style &= ~static_cast<LONG_PTR>(WS_CAPTION);
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, client.right - client.left, client.bottom - client.top,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    m_manager.BindWindow(m_hWnd);
    m_manager.AddPreTranslateFilter(this);

    if (CResourceSettings::GetResourcePath().IsEmpty()) {
        CUIString path = CResourceSettings::GetInstancePath();
        path += SkinFolder();
        CResourceSettings::SetResourcePath(path);
    }
    switch (SkinResourceKind()) {
    case kSkinZipFile:
        CResourceSettings::SetResourceZip(ZipFileName(), true);
        break;
    case kSkinZipResource: {
        HMODULE module = CResourceSettings::GetResourceModule();
        HRSRC found = ::FindResourceW(module, ZipResourceId(), L"ZIPRES");
        if (found == nullptr) return 0;
        HGLOBAL loaded = ::LoadResource(module, found);
        DWORD size = ::SizeofResource(module, found);
        const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
        if (bytes == nullptr || size == 0) return 0;
        CResourceSettings::SetResourceZip(bytes, size);
        break;
    }
    default:
        break;
    }

    CControlUI* root = BuildSkin();
    if (root == nullptr) {
        ::MessageBoxW(m_hWnd, kSkinFailureText, kSkinFailureCaption, MB_OK | MB_ICONERROR);
        ::ExitProcess(1);
    }
    m_manager.AttachTree(root);
    m_manager.AddNotifyListener(this);
    OnInitialized();
    return 0;
}

}  // namespace SkinUI

#include "ui/core/WindowWnd.h"

#include "ui/core/ResourceSettings.h"
#include "ui/core/UIManager.h"

namespace SkinUI {

namespace {
// The program instance handed to the framework, or the executable's own
// module before anyone has set it (LoadImage with a null instance would look
// among the system's pictures instead).
HINSTANCE ProgramInstance()
{
    HINSTANCE instance = CResourceSettings::GetInstance();
    return instance != nullptr ? instance : ::GetModuleHandleW(nullptr);
}
}  // namespace

CWindowWnd::CWindowWnd() : m_previousProc(::DefWindowProcW) {}

CWindowWnd::~CWindowWnd() = default;

HWND CWindowWnd::CreateNativeWindow(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, const RECT& rect,
                                    HMENU menu)
{
    return CreateNativeWindow(parent, title, style, exStyle, rect.left, rect.top, rect.right - rect.left,
                              rect.bottom - rect.top, menu);
}

HWND CWindowWnd::CreateNativeWindow(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, int x, int y,
                                    int cx, int cy, HMENU menu)
{
    bool registered = GetSuperClassName() != nullptr ? RegisterSuperclass() : RegisterWindowClass();
    if (!registered) return nullptr;
    m_hWnd = ::CreateWindowExW(exStyle, GetWindowClassName(), title, style, x, y, cx, cy, parent, menu,
                               ProgramInstance(), this);
    return m_hWnd;
}

bool CWindowWnd::RegisterWindowClass()
{
    WNDCLASSW wc = {};
    wc.style = GetClassStyle();
    wc.lpfnWndProc = WindowProcedure;
    wc.hInstance = ProgramInstance();
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.lpszClassName = GetWindowClassName();
    if (::RegisterClassW(&wc) != 0) return true;
    return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWindowWnd::RegisterSuperclass()
{
    // Copy the system's class of that name first, then the program's own.
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (!::GetClassInfoExW(nullptr, GetSuperClassName(), &wc) &&
        !::GetClassInfoExW(ProgramInstance(), GetSuperClassName(), &wc)) {
        return false;
    }
    m_previousProc = wc.lpfnWndProc;
    wc.lpfnWndProc = ControlProcedure;
    wc.hInstance = ProgramInstance();
    wc.lpszClassName = GetWindowClassName();
    if (::RegisterClassExW(&wc) != 0) return true;
    return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Subclass(HWND window)
{
    if (window == nullptr || m_subclassed) return nullptr;
    ::SetPropW(window, kObjectProperty, this);
    m_previousProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProcedure)));
    if (m_previousProc == nullptr) {
        ::RemovePropW(window, kObjectProperty);
        m_previousProc = ::DefWindowProcW;
        return nullptr;
    }
    m_subclassed = true;
    m_hWnd = window;
    return m_hWnd;
}

void CWindowWnd::Unsubclass()
{
    if (!m_subclassed || m_hWnd == nullptr) return;
    if (::IsWindow(m_hWnd)) {
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
        ::RemovePropW(m_hWnd, kObjectProperty);
    }
    m_previousProc = ::DefWindowProcW;
    m_subclassed = false;
    m_hWnd = nullptr;
}

LRESULT CALLBACK CWindowWnd::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWindowWnd* self = nullptr;
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        self = static_cast<CWindowWnd*>(create->lpCreateParams);
        if (self != nullptr) {
            self->m_hWnd = window;
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    } else {
        self = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_NCDESTROY && self != nullptr) {
            LRESULT result = ::CallWindowProcW(self->m_previousProc, window, message, wParam, lParam);
            ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            if (self->m_subclassed) self->Unsubclass();
            self->m_hWnd = nullptr;
            self->OnFinalMessage(window);
            return result;
        }
    }
    if (self != nullptr) return self->HandleMessage(message, wParam, lParam);
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::ControlProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWindowWnd* self = nullptr;
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        self = static_cast<CWindowWnd*>(create->lpCreateParams);
        if (self != nullptr) {
            ::SetPropW(window, kObjectProperty, self);
            self->m_hWnd = window;
        }
    } else {
        self = static_cast<CWindowWnd*>(::GetPropW(window, kObjectProperty));
        if (message == WM_NCDESTROY && self != nullptr) {
            LRESULT result = ::CallWindowProcW(self->m_previousProc, window, message, wParam, lParam);
            if (self->m_subclassed) self->Unsubclass();
            ::RemovePropW(window, kObjectProperty);
            self->m_hWnd = nullptr;
            self->OnFinalMessage(window);
            return result;
        }
    }
    if (self != nullptr) return self->HandleMessage(message, wParam, lParam);
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::CallWindowProcW(m_previousProc, m_hWnd, message, wParam, lParam);
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus)
{
    if (!::IsWindow(m_hWnd)) return;
    ::ShowWindow(m_hWnd, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModalLoop()
{
    if (!::IsWindow(m_hWnd)) return 0;
    // The object's handle is reset on WM_NCDESTROY; keep our own copy to
    // recognise the window's messages until the loop sees it gone.
    HWND window = m_hWnd;
    UINT result = 0;
    HWND owner = ::GetWindow(window, GW_OWNER);
    ::ShowWindow(window, SW_SHOWNORMAL);
    if (owner != nullptr) ::EnableWindow(owner, FALSE);

    MSG message = {};
    bool quit = false;
    while (::IsWindow(window)) {
        BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            break;
        }
        if (got == -1) break;
        if (message.hwnd == window && message.message == WM_CLOSE) {
            result = static_cast<UINT>(message.wParam);
            // The owner must be enabled before this window goes away, or the
            // system activates some other application's window instead.
            if (owner != nullptr) {
                ::EnableWindow(owner, TRUE);
                ::SetFocus(owner);
            }
        }
        if (!CUIManager::PreTranslateMessage(&message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    if (owner != nullptr) {
        ::EnableWindow(owner, TRUE);
        ::SetFocus(owner);
    }
    // Whoever posted WM_QUIT meant the outer loop too.
    if (quit) ::PostQuitMessage(static_cast<int>(message.wParam));
    return result;
}

void CWindowWnd::CloseWithResult(UINT result)
{
    if (!::IsWindow(m_hWnd)) return;
    ::PostMessageW(m_hWnd, WM_CLOSE, static_cast<WPARAM>(result), 0);
}

void CWindowWnd::CenterNativeWindow()
{
    if (!::IsWindow(m_hWnd)) return;
    RECT window = {};
    ::GetWindowRect(m_hWnd, &window);
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);

    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(owner != nullptr ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT work = monitor.rcWork;

    RECT reference = work;
    if (owner != nullptr && !::IsIconic(owner)) ::GetWindowRect(owner, &reference);

    int width = window.right - window.left;
    int height = window.bottom - window.top;
    int x = (reference.left + reference.right) / 2 - width / 2;
    int y = (reference.top + reference.bottom) / 2 - height / 2;
    if (x < work.left) x = work.left;
    else if (x + width > work.right) x = work.right - width;
    if (y < work.top) y = work.top;
    else if (y + height > work.bottom) y = work.bottom - height;
    ::SetWindowPos(m_hWnd, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetWindowIcon(UINT resourceId)
{
    if (!::IsWindow(m_hWnd)) return;
    // Icon sizes rounded up to a multiple of 16 pick the icon's own image
    // rather than a stretched neighbour on odd metrics.
    auto roundUp = [](int size) { return (size + 15) & ~15; };
    HINSTANCE instance = ProgramInstance();
    // LR_SHARED: the system owns the icons, so nothing is leaked when the
    // icon is set again or the window goes away.
    HICON big = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(resourceId), IMAGE_ICON,
                                                roundUp(::GetSystemMetrics(SM_CXICON)),
                                                roundUp(::GetSystemMetrics(SM_CYICON)), LR_DEFAULTCOLOR | LR_SHARED));
    if (big != nullptr) ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    HICON small = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(resourceId), IMAGE_ICON,
                                                  roundUp(::GetSystemMetrics(SM_CXSMICON)),
                                                  roundUp(::GetSystemMetrics(SM_CYSMICON)),
                                                  LR_DEFAULTCOLOR | LR_SHARED));
    if (small != nullptr) ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

LRESULT CWindowWnd::SendMessageToWindow(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

LRESULT CWindowWnd::PostMessageToWindow(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

void CWindowWnd::ResizeClient(int cx, int cy)
{
    if (!::IsWindow(m_hWnd)) return;
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    if (cx != -1) client.right = cx;
    if (cy != -1) client.bottom = cy;
    ::AdjustWindowRectEx(&client, static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)),
                         ::GetMenu(m_hWnd) != nullptr, static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)));
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, client.right - client.left, client.bottom - client.top,
                   SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

}  // namespace SkinUI

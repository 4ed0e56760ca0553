#pragma once
// One native window: class registration, creation, the window procedure that
// hands every message to a virtual handler, centring, icons and a modal
// message loop. The object must outlive its native window; the final-message
// hook runs once the native window is gone.

#include <windows.h>

namespace SkinUI {

class CWindowWnd {
public:
    CWindowWnd();
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Registers the window class on first use and creates the window with
    // this object as creation parameter. Null when registration or creation
    // failed.
    HWND CreateNativeWindow(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT,
                            int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT, HMENU menu = nullptr);
    HWND CreateNativeWindow(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, const RECT& rect,
                            HMENU menu = nullptr);

    // Takes over an existing window by replacing its window procedure;
    // Unsubclass puts the old one back.
    HWND Subclass(HWND window);
    void Unsubclass();

    void ShowWindow(bool show = true, bool takeFocus = true);
    // Runs until the window is gone or WM_QUIT arrives; returns the wParam
    // of the WM_CLOSE that closed it (0 when none was seen).
    UINT ShowModalLoop();
    // Posts WM_CLOSE with `result` as wParam (the modal loop's result).
    void CloseWithResult(UINT result = IDOK);
    void CenterNativeWindow();
    void SetWindowIcon(UINT resourceId);

    LRESULT SendMessageToWindow(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessageToWindow(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void ResizeClient(int cx = -1, int cy = -1);

    // The property that holds the object pointer of a superclassed window
    // (whose user data belongs to the class it copies).
    static constexpr const wchar_t* kObjectProperty = L"WndX";

protected:
    virtual const wchar_t* GetWindowClassName() const = 0;
    virtual const wchar_t* GetSuperClassName() const { return nullptr; }
    virtual UINT GetClassStyle() const { return 0; }
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Called after WM_NCDESTROY, when the handle has been reset.
    virtual void OnFinalMessage(HWND window) {}

    bool RegisterWindowClass();
    bool RegisterSuperclass();

    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ControlProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    WNDPROC m_previousProc;
    bool m_subclassed = false;
};

}  // namespace SkinUI

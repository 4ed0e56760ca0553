#pragma once
// A one-line text box. The control paints itself like a label (a state image
// and its text, masked when it is a password); the typing happens in a
// native EDIT child window, CEditWnd, that exists only while the control has
// the focus and lies exactly over the text area. Every change in the native
// window is copied back into the control, which sends "textchanged"; Enter
// sends "return".
//
// Ownership: the control creates its CEditWnd; the window object deletes
// itself after its native window is gone (OnFinalMessage) and tells the
// control first. A control destroyed while editing destroys the window.

#include "ui/controls/LabelUI.h"
#include "ui/core/GdiHandles.h"
#include "ui/core/WindowWnd.h"

namespace SkinUI {

class CEditUI;

class CEditWnd : public CWindowWnd {
public:
    // The system caret of a native window on a layered window is never seen
    // (the window is only printed into the layered buffer): a caret of our
    // own blinks on this timer of the native window.
    static constexpr UINT_PTR kCaretTimerId = 20;

    explicit CEditWnd(CEditUI* owner);

    // Creates the native window over the owner's text area and gives it the
    // keyboard focus. False when the window could not be created.
    bool Open();
    // The control is going away: forget it, then destroy the window.
    void Abandon();

    // Where the native window goes: the owner's rectangle less its text
    // padding, vertically centred to the font height, clipped by the
    // visible ancestors (empty when nothing of it is visible).
    RECT TextArea() const;

protected:
    const wchar_t* GetWindowClassName() const override { return L"SkinUIEdit"; }
    const wchar_t* GetSuperClassName() const override { return L"EDIT"; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND window) override;

private:
    DWORD NativeStyle() const;
    void SetUp(const RECT& area);
    void OnTextChanged();
    // The brush the native window paints its background with (WM_CTLCOLOR*).
    HBRUSH BackgroundBrush(HDC dc);
    // Paints the skin under the edit into a bitmap and makes a pattern
    // brush of it, so a translucent native background shows the skin.
    HBRUSH MakeSkinBrush();
    void DrawOwnCaret(HDC dc);

    CEditUI* m_owner;
    CUIManager* m_manager;
    CBrushHandle m_brush;  // solid or pattern brush; none for the system one
    bool m_layered = false;
    bool m_caretOn = false;
    bool m_opening = false;
};

class CEditUI : public CLabelUI {
    friend class CEditWnd;

public:
    CEditUI();
    ~CEditUI() override;

    const wchar_t* ClassName() const override;
    void* InterfaceByName(const wchar_t* name) override;
    UINT ControlFlags() const override;

    void SetText(const wchar_t* text) override;
    void SetEnabled(bool enabled = true) override;
    void SetVisible(bool visible = true) override;
    void ScaleChanged() override;
    void CollectImages(std::vector<ImageDrawInfo*>& images) override;
    void SetInternVisible(bool visible = true) override;
    void PlaceAt(RECT rect, bool invalidate = true) override;
    void HandleEvent(TUIEvent& event) override;
    void SetAttr(const wchar_t* name, const wchar_t* value) override;
    void PaintStatusImage(HDC dc) override;
    void PaintText(HDC dc) override;

    void SetMaxChar(int count);
    int GetMaxChar() const { return m_maxChar; }
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return m_readOnly; }
    void SetPasswordMode(bool password);
    bool IsPasswordMode() const { return m_password; }
    void SetPasswordChar(wchar_t ch);
    wchar_t GetPasswordChar() const { return m_passwordChar; }
    void SetNumberOnly(bool numberOnly);
    bool IsNumberOnly() const { return (m_windowStyle & ES_NUMBER) != 0; }
    void SetAutoSelectAll(bool all) { m_autoSelectAll = all; }
    bool IsAutoSelectAll() const { return m_autoSelectAll; }
    // FFFFFFFF: the system's window colour; an opaque colour: that colour;
    // a translucent one: the skin under the edit shows through.
    void SetNativeBkColor(DWORD color) { m_nativeBkColor = color; }
    DWORD GetNativeBkColor() const { return m_nativeBkColor; }

    void SetNormalImage(const wchar_t* image) { SetImageAttr(m_normalImage, image); }
    void SetHotImage(const wchar_t* image) { SetImageAttr(m_hotImage, image); }
    void SetFocusedImage(const wchar_t* image) { SetImageAttr(m_focusedImage, image); }
    void SetDisabledImage(const wchar_t* image) { SetImageAttr(m_disabledImage, image); }

    // The native window while editing, else null.
    HWND GetNativeWindow() const;

private:
    void OpenNativeWindow();
    // The native window is gone (called by CEditWnd before it deletes
    // itself).
    void NativeWindowClosed();
    // Follows the control when it moves, hides or changes state.
    void UpdateNativeWindow();

    CEditWnd* m_window = nullptr;
    int m_maxChar = 255;
    wchar_t m_passwordChar = L'*';
    bool m_readOnly = false;
    bool m_password = false;
    bool m_autoSelectAll = false;
    DWORD m_windowStyle = 0;  // extra native styles (ES_NUMBER)
    UINT m_state = 0;         // hot (focus and enabled are read live)
    DWORD m_nativeBkColor = 0xFFFFFFFF;
    CImageSlot m_normalImage;
    CImageSlot m_hotImage;
    CImageSlot m_focusedImage;
    CImageSlot m_disabledImage;
};

}  // namespace SkinUI

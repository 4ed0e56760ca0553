#pragma once
// The records that travel between the manager, the controls and the window's
// own code, and the small interfaces a skinned window implements.
//
// Event type numbers are fixed: controls test ranges of them (every mouse
// event lies between UIEVENT_MOUSEBEGIN and UIEVENT_MOUSEEND).

#include <windows.h>

#include "ui/core/UIString.h"

namespace SkinUI {

class CControlUI;

enum UIEventType : UINT {
    UIEVENT_KEYDOWN = 3,
    UIEVENT_KEYUP = 4,
    UIEVENT_CHAR = 5,
    UIEVENT_SYSKEY = 6,
    UIEVENT_MOUSEMOVE = 9,
    UIEVENT_MOUSELEAVE = 10,
    UIEVENT_MOUSEENTER = 11,
    UIEVENT_MOUSEHOVER = 12,
    UIEVENT_BUTTONDOWN = 13,
    UIEVENT_BUTTONUP = 14,
    UIEVENT_RBUTTONDOWN = 15,
    UIEVENT_DBLCLICK = 16,
    UIEVENT_CONTEXTMENU = 17,
    UIEVENT_SCROLLWHEEL = 18,
    UIEVENT_KILLFOCUS = 20,
    UIEVENT_SETFOCUS = 21,
    UIEVENT_WINDOWSIZE = 22,
    UIEVENT_SETCURSOR = 23,
    UIEVENT_TIMER = 24,

    UIEVENT_MOUSEBEGIN = UIEVENT_MOUSEMOVE,
    UIEVENT_MOUSEEND = UIEVENT_SCROLLWHEEL,
};

// Key state bits of a keyboard or mouse-move event. Button events carry the
// message's wParam (MK_* bits) instead.
enum UIKeyState : WORD {
    UIKEYSTATE_LBUTTON = 0x01,
    UIKEYSTATE_RBUTTON = 0x02,
    UIKEYSTATE_SHIFT = 0x04,
    UIKEYSTATE_CONTROL = 0x08,
    UIKEYSTATE_ALT = 0x20,
};

// Control flags (CControlUI::ControlFlags).
enum UIControlFlag : UINT {
    UIFLAG_TABSTOP = 0x01,
    UIFLAG_SETCURSOR = 0x02,
};

// Flags of CControlUI::SearchTree.
enum UIFindFlag : UINT {
    UIFIND_ALL = 0x00000000,
    UIFIND_VISIBLE = 0x00000001,
    UIFIND_ENABLED = 0x00000002,
    UIFIND_HITTEST = 0x00000004,  // data points at a POINT in client coordinates
    UIFIND_UPDATETEST = 0x00000008,
    UIFIND_TOP_FIRST = 0x00000010,  // children from last to first
    UIFIND_ME_FIRST = 0x80000000,
};

// One input event for one control.
struct TUIEvent {
    UINT type = 0;
    CControlUI* sender = nullptr;
    DWORD timestamp = 0;
    POINT mouse = {0, 0};
    WCHAR key = 0;
    WORD keyState = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// A notification from a control to the window's code.
struct TUINotify {
    CUIString type;
    CUIString virtualWnd;  // filled only when the manager routes by virtual window
    CControlUI* sender = nullptr;
    DWORD timestamp = 0;
    POINT mouse = {0, 0};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class INotifyUI {
public:
    virtual void HandleNotify(TUINotify& notify) = 0;

protected:
    ~INotifyUI() = default;
};

class IMessageFilterUI {
public:
    // Sets `handled` to stop the message; the result is then the message's.
    virtual LRESULT FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) = 0;

protected:
    ~IMessageFilterUI() = default;
};

class ITranslateAccelerator {
public:
    // 0 when the message was consumed.
    virtual LRESULT TranslateAccel(MSG* message) = 0;

protected:
    ~ITranslateAccelerator() = default;
};

// Lets a window create controls for element names the framework does not
// know (the carousel of the setup window, for example).
class IDialogBuilderCallback {
public:
    // A new control owned by the caller, or null.
    virtual CControlUI* CreateCustomControl(const wchar_t* elementName) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};

}  // namespace SkinUI

#pragma once
// What a screen reader sees of a window: Microsoft Active Accessibility.
//
// The window's client area (OBJID_CLIENT) is a root object whose children
// are the controls in view that mean something to a user, in reading order
// (the tree's order): buttons, edits, texts, the progress bar, the carousel.
// Containers are walked through, not shown; a control marked decorative is
// left out with what it holds.
//
// Each control has a child id of its own for the life of the window:
// negative, never reused, so that an event names it (NotifyWinEvent) and
// get_accChild resolves it later. Positive ids are positions in reading
// order, as AccessibleChildren asks for them.
//
// What the skin may say (custom attributes of any control):
//   accname="立即安装"     the name, where the text is part of the picture
//   accrole="checkbox"    pushbutton, checkbox, text, statictext,
//                          progressbar, graphic, alert, client
//   accdecorative="true"  not for the screen reader
//   accvalue="37%"        the value (a progress bar's percentage)
//   accchecked="true"     a check box's state
// and of the skin's root element, for the window itself:
//   accwindowname="..."   the window's name (else its title)
//   accwindowrole="alert" its role (else a client area)
//
// Every call comes in on the window's thread (the root is marshalled from
// WM_GETOBJECT there), so controls are read directly. Actions
// (accDoDefaultAction, accSelect) are posted to the window and return at
// once: a screen reader never waits on the installation. An object whose
// control or window is gone answers with an error, never a crash.

#include <windows.h>
#include <oleacc.h>

#include <map>
#include <memory>
#include <vector>

#include "ui/core/UIString.h"

namespace SkinUI {

class CControlUI;
class CUIManager;

// The part of a manager the COM objects may outlive: cleared when the
// manager goes.
struct AccessibleLink {
    CUIManager* manager = nullptr;
};

class CAccessibleTree {
public:
    // Posted to the window: wParam a kAction*, lParam the control's id.
    static constexpr UINT kActionMessage = WM_APP + 0x3A1;
    enum : WPARAM { kActionDefault = 1, kActionFocus = 2 };

    explicit CAccessibleTree(CUIManager* manager);
    ~CAccessibleTree();
    CAccessibleTree(const CAccessibleTree&) = delete;
    CAccessibleTree& operator=(const CAccessibleTree&) = delete;

    // WM_GETOBJECT: the root for OBJID_CLIENT; 0 (the system's own) for the
    // rest.
    LRESULT OnGetObject(WPARAM wParam, LPARAM lParam);
    // WM_GETOBJECT of a native child window that stands for `control` (an
    // edit's typing surface): the control's own object.
    LRESULT OnGetControlObject(CControlUI* control, WPARAM wParam);
    // kActionMessage, on the window's thread.
    void OnAction(WPARAM action, LPARAM id);

    // Tells screen readers about `control` (null: the client area itself),
    // when it is one they see.
    void Notify(DWORD event, CControlUI* control);
    // The accessible controls inside `container` came into view, or left it.
    void NotifyShown(CControlUI* container, bool shown);

    long IdOf(CControlUI* control);
    CControlUI* ControlOf(long id) const;
    void Forget(CControlUI* control);

    // The controls a screen reader sees, in reading order.
    std::vector<CControlUI*> Children() const;
    bool IsAccessible(CControlUI* control) const;

    const std::shared_ptr<AccessibleLink>& Link() const { return m_link; }

private:
    CUIManager* m_manager;
    std::shared_ptr<AccessibleLink> m_link;
    std::map<CControlUI*, long> m_ids;
    std::map<long, CControlUI*> m_controls;
    long m_nextId = -1;
};

// What a control is to a screen reader (ROLE_SYSTEM_*; 0: nothing).
long AccessibleRole(CControlUI* control);
CUIString AccessibleName(CControlUI* control);

}  // namespace SkinUI

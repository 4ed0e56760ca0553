#pragma once
// The base of every skinned window: a native window with a manager, whose
// skin is built on WM_CREATE. It gives the window a borderless frame (the
// caption band, resize borders, corner rounding and maximised size come from
// the skin), closes on Escape, and turns clicks on buttons named "closebtn",
// "minbtn", "maxbtn" and "restorebtn" into window commands.

#include "ui/core/NotifyPump.h"
#include "ui/core/UIManager.h"
#include "ui/core/WindowWnd.h"

namespace SkinUI {

// Where a window's skin comes from.
enum SkinResourceKind {
    kSkinFiles = 1,        // files under the skin folder
    kSkinZipFile = 2,      // a zip file under the skin folder
    kSkinXmlResource = 3,  // "XML" resources of the program; the source is the id
    kSkinZipResource = 4,  // a zip stored as a "ZIPRES" resource
};

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback {
public:
    WindowImplBase();
    ~WindowImplBase() override;

    CUIManager& GetManager() { return m_manager; }

    // Called once the control tree is attached (still inside WM_CREATE).
    virtual void OnInitialized() {}
    virtual void OnClickNotify(TUINotify& notify);
    virtual CUIString SkinFolder() = 0;
    // A file name or XML text; with kSkinXmlResource, a resource id in
    // decimal.
    virtual CUIString SkinSource() = 0;
    // Escape closes the window with 1; other keys (Enter too) are left alone.
    virtual bool HandleDefaultKey(WPARAM key);
    virtual int SkinResourceKind() { return kSkinFiles; }
    virtual CUIString ZipFileName() { return CUIString(); }
    virtual const wchar_t* ZipResourceId() { return nullptr; }

    virtual LRESULT OnClose(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcActivate(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcCalcSize(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcPaint(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcHitTest(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnGetMinMaxInfo(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnMouseWheel(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnMouseHover(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnSize(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnDpiChanged(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnChar(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnCreate(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnKeyDown(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnKillFocus(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnSetFocus(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnLButtonDown(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnLButtonUp(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnMouseMove(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    // The frame style a skinned window keeps: the current one without a
    // caption.
    virtual LONG GetStyle();

    // INotifyUI: through the notification map chain.
    void HandleNotify(TUINotify& notify) override;
    // IMessageFilterUI (a pre-translate filter): Enter and Escape key-downs
    // go to HandleDefaultKey.
    LRESULT FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    CControlUI* CreateCustomControl(const wchar_t* elementName) override { return nullptr; }

    // The text and caption of the message box shown when the skin cannot be
    // built (the process then ends with exit code 1).
    static constexpr const wchar_t* kSkinFailureText = L"加载资源文件失败";
    static constexpr const wchar_t* kSkinFailureCaption = L"SkinUI";

protected:
    UINT GetClassStyle() const override { return CS_DBLCLKS; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND window) override;

    // Builds the skin into the manager; null when it cannot be built.
    CControlUI* BuildSkin();

    CUIManager m_manager;
};

}  // namespace SkinUI

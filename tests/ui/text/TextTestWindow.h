#pragma once
// A plain native window with a manager and a tree built from a skin string,
// for the text-control tests: messages go through the manager's routing (and
// the modal loop's pre-translation when pumped), notifications are recorded,
// and the tree can be painted into a 32-bit bitmap of our own.

#include <windows.h>

#include <string>
#include <vector>

#include "ui/controls/ControlUI.h"
#include "ui/core/GdiHandles.h"
#include "ui/core/UIManager.h"
#include "ui/core/WindowWnd.h"
#include "ui/markup/LayoutBuilder.h"

namespace text_test {

class TextTestWindow : public SkinUI::CWindowWnd, public SkinUI::INotifyUI {
public:
    struct Note {
        std::wstring type;
        std::wstring sender;
        WPARAM wParam;
    };

    ~TextTestWindow() override { Destroy(); }

    // Opens the window. Under Xvfb without a window manager each top-level
    // window takes Wine about two seconds to destroy, so a test suite opens
    // one and loads a skin per test.
    bool Open(int width = 400, int height = 200)
    {
        if (CreateNativeWindow(nullptr, L"text test", WS_POPUP | WS_VISIBLE, 0, 20, 20, width, height) == nullptr) {
            return false;
        }
        ::SetForegroundWindow(m_hWnd);
        ::SetFocus(m_hWnd);
        return true;
    }

    // Attaches the tree of `skin` (XML text), lays it out and paints it
    // once; the previous tree goes, and so do the recorded notifications.
    bool Load(const wchar_t* skin, bool layered = false)
    {
        manager.SetFocusTo(nullptr, false);
        ::SetFocus(m_hWnd);
        Pump();
        manager.SetLayered(layered);
        SkinUI::CLayoutBuilder builder;
        SkinUI::CControlUI* root = builder.BuildFromSource(skin, nullptr, nullptr, &manager);
        if (root == nullptr) return false;
        manager.AttachTree(root);
        manager.PaintNow();
        Pump();
        notes.clear();
        return true;
    }

    void Destroy()
    {
        if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
        Pump();
    }

    template <typename T = SkinUI::CControlUI>
    T* Find(const wchar_t* name)
    {
        return static_cast<T*>(manager.FindByName(name));
    }

    // Runs every queued message the way the modal loop does.
    void Pump()
    {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!SkinUI::CUIManager::PreTranslateMessage(&message)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        }
    }

    // Pumps for a while, so that timers fire.
    void PumpFor(DWORD milliseconds)
    {
        const DWORD start = ::GetTickCount();
        while (::GetTickCount() - start < milliseconds) {
            Pump();
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
        Pump();
    }

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }

    void Click(int x, int y)
    {
        Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }

    int Count(const wchar_t* type, const wchar_t* sender = nullptr) const
    {
        int count = 0;
        for (const Note& note : notes) {
            if (note.type == type && (sender == nullptr || note.sender == sender)) ++count;
        }
        return count;
    }

    const Note* Last(const wchar_t* type) const
    {
        for (auto it = notes.rbegin(); it != notes.rend(); ++it) {
            if (it->type == type) return &*it;
        }
        return nullptr;
    }

    void HandleNotify(SkinUI::TUINotify& notify) override
    {
        notes.push_back({notify.type.GetData(),
                         notify.sender != nullptr ? notify.sender->GetName().GetData() : L"", notify.wParam});
    }

    SkinUI::CUIManager manager;
    std::vector<Note> notes;

protected:
    void OnFinalMessage(HWND) override { manager.ReleaseWindow(); }
    const wchar_t* GetWindowClassName() const override { return L"BoxTextTestWindow"; }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_CREATE) {
            manager.BindWindow(m_hWnd);
            manager.AddNotifyListener(this);
            return 0;
        }
        LRESULT result = 0;
        if (manager.RouteMessage(message, wParam, lParam, result)) return result;
        return CWindowWnd::HandleMessage(message, wParam, lParam);
    }
};

// The tree of a window painted into a 32-bit bitmap of the client size,
// white before painting.
class Snapshot {
public:
    Snapshot(SkinUI::CUIManager& manager, int width, int height)
        : m_dc(manager.GetPaintDC()), m_width(width), m_height(height)
    {
        m_dib.Create(m_dc, width, height);
        SkinUI::CSelectObject select(m_dc, m_dib.Bitmap());
        for (int i = 0; i < width * height; ++i) m_dib.Pixels()[i] = 0x00FFFFFF;
        RECT all = {0, 0, width, height};
        manager.GetRoot()->PaintInto(m_dc, all, nullptr);
        ::GdiFlush();
    }

    DWORD At(int x, int y) const { return m_dib.Row(y)[x] & 0x00FFFFFF; }

    // Pixels in `rect` that differ from `background` (RGB).
    int CountOtherThan(const RECT& rect, DWORD background) const
    {
        int count = 0;
        for (int y = rect.top; y < rect.bottom; ++y) {
            for (int x = rect.left; x < rect.right; ++x) {
                if (At(x, y) != background) ++count;
            }
        }
        return count;
    }

    // The leftmost and rightmost columns of `rect` holding a pixel other
    // than `background`; {-1, -1} when there is none.
    std::pair<int, int> InkColumns(const RECT& rect, DWORD background) const
    {
        int first = -1;
        int last = -1;
        for (int x = rect.left; x < rect.right; ++x) {
            for (int y = rect.top; y < rect.bottom; ++y) {
                if (At(x, y) != background) {
                    if (first < 0) first = x;
                    last = x;
                    break;
                }
            }
        }
        return {first, last};
    }

    bool SameAs(const Snapshot& other, const RECT& rect) const
    {
        for (int y = rect.top; y < rect.bottom; ++y) {
            for (int x = rect.left; x < rect.right; ++x) {
                if (At(x, y) != other.At(x, y)) return false;
            }
        }
        return true;
    }

private:
    SkinUI::CMemoryDC m_dc;
    SkinUI::CDibSection m_dib;
    int m_width;
    int m_height;
};

}  // namespace text_test

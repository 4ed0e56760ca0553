#pragma once
// The text-control tests' window: a host window with a tree built from a skin
// string, and the tree painted into a 32-bit bitmap of our own.

#include <windows.h>

#include <string>
#include <vector>

#include "ui/controls/ControlUI.h"
#include "ui/core/GdiHandles.h"
#include "ui/core/UIManager.h"
#include "core_window/HostWindow.h"
#include "ui/markup/LayoutBuilder.h"

namespace text_test {

// The core tests' host window, opened once per suite and loaded with a skin
// per test.
class TextTestWindow : public testing_support::HostWindow {
public:
    ~TextTestWindow() override { Destroy(); }

    // Opens the window. Under Xvfb without a window manager each top-level
    // window takes Wine about two seconds to destroy, so a test suite opens
    // one and loads a skin per test.
    bool Open(int width = 400, int height = 200)
    {
        if (!Create(width, height)) return false;
        ::SetForegroundWindow(m_hWnd);
        ::SetFocus(m_hWnd);
        return true;
    }

    // Attaches the tree of `skin` (XML text), lays it out and paints it
    // once; the previous tree goes, and so do the recorded notifications.
    // The first paint focuses the first tab stop (the edit, in most of these
    // skins); unless `keepFirstFocus`, the test starts with nothing focused.
    bool Load(const wchar_t* skin, bool layered = false, bool keepFirstFocus = false)
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
        if (!keepFirstFocus) {
            manager.SetFocusTo(nullptr, false);
            ::SetFocus(m_hWnd);
            Pump();
        }
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

    void Click(int x, int y)
    {
        Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }

    const Note* Last(const wchar_t* type) const
    {
        for (auto it = notes.rbegin(); it != notes.rend(); ++it) {
            if (it->type == type) return &*it;
        }
        return nullptr;
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

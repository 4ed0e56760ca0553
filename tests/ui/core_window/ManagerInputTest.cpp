// Input routing through a real window: synthetic mouse and key messages sent
// to the window, events and notifications observed on the controls.
#include <gtest/gtest.h>

#include "HostWindow.h"
#include "ui/controls/ButtonUI.h"
#include "ui/controls/HorizontalLayoutUI.h"
#include "ui/controls/LabelUI.h"
#include "ui/controls/VerticalLayoutUI.h"

using namespace SkinUI;
using testing_support::HostWindow;

namespace {

CButtonUI* MakeButton(const wchar_t* name, int width, int height)
{
    auto* button = new CButtonUI;
    button->SetName(name);
    button->SetFixedWidth(width);
    button->SetFixedHeight(height);
    return button;
}

// A 300 x 200 window: a row of two 100 x 40 buttons at the top, a label
// below. One window serves every test (each gets a new tree): under Xvfb
// destroying a shown window costs about two seconds.
struct InputFixture : ::testing::Test {
    static void SetUpTestSuite()
    {
        s_window = new HostWindow;
        ASSERT_TRUE(s_window->Create());
    }
    static void TearDownTestSuite()
    {
        delete s_window;
        s_window = nullptr;
    }

    void SetUp() override
    {
        window.manager.ReleaseCapture();
        window.manager.SetFocusTo(nullptr, false);
        auto* root = new CVerticalLayoutUI;
        auto* row = new CHorizontalLayoutUI;
        row->SetFixedHeight(40);
        first = MakeButton(L"first", 100, 40);
        second = MakeButton(L"second", 100, 40);
        row->Add(first);
        row->Add(second);
        root->Add(row);
        label = new CLabelUI;
        label->SetName(L"label");
        root->Add(label);
        window.manager.AttachTree(root);
        window.manager.PaintNow();
        window.Pump();
        window.notes.clear();
    }

    void Click(UINT down, int x, int y, UINT up, int x2, int y2)
    {
        window.Send(down, MK_LBUTTON, MAKELPARAM(x, y));
        window.Send(up, 0, MAKELPARAM(x2, y2));
    }

    static HostWindow* s_window;
    HostWindow& window = *s_window;
    CButtonUI* first = nullptr;
    CButtonUI* second = nullptr;
    CLabelUI* label = nullptr;
};

HostWindow* InputFixture::s_window = nullptr;

}  // namespace

TEST_F(InputFixture, TreeIsLaidOutAndFoundByNameAndPoint)
{
    EXPECT_EQ(window.manager.FindByName(L"second"), second);
    EXPECT_EQ(second->GetPos().left, 100);
    // A label without a height measures the font's height plus 8 rather than
    // taking the rest of the column.
    EXPECT_EQ(label->GetPos().top, 40);
    EXPECT_EQ(label->GetPos().bottom, 40 + window.manager.GetDefaultFontInfo()->metrics.tmHeight + 8);
    EXPECT_EQ(label->GetPos().right, 300);
    EXPECT_EQ(window.manager.FindAtPoint(POINT{150, 20}), second);
    EXPECT_EQ(window.manager.FindAtPoint(POINT{250, 20}), second->GetParent());
    EXPECT_EQ(window.manager.FindAtPoint(POINT{10, 45}), label);
    EXPECT_EQ(window.manager.FindAtPoint(POINT{10, 150}), window.manager.GetRoot());
    label->SetMouseEnabled(false);
    EXPECT_EQ(window.manager.FindAtPoint(POINT{10, 45}), label->GetParent());
}

TEST_F(InputFixture, ClickNeedsButtonDownAndUpInside)
{
    Click(WM_LBUTTONDOWN, 10, 10, WM_LBUTTONUP, 20, 20);
    EXPECT_EQ(window.Count(L"click", L"first"), 1);

    Click(WM_LBUTTONDOWN, 10, 10, WM_LBUTTONUP, 150, 20);  // up over the other button
    EXPECT_EQ(window.Count(L"click"), 1);
    EXPECT_EQ(window.manager.GetClickControl(), nullptr);

    // A double click presses the button too; the up inside clicks.
    Click(WM_LBUTTONDBLCLK, 110, 10, WM_LBUTTONUP, 110, 10);
    EXPECT_EQ(window.Count(L"click", L"second"), 1);

    first->SetEnabled(false);
    Click(WM_LBUTTONDOWN, 10, 10, WM_LBUTTONUP, 10, 10);
    EXPECT_EQ(window.Count(L"click", L"first"), 1);
}

TEST_F(InputFixture, HotAndPushedStatesFollowTheMouse)
{
    window.MoveTo(10, 10);
    EXPECT_EQ(window.manager.GetHot(), first);
    EXPECT_TRUE(first->GetButtonState() & UISTATE_HOT);

    window.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_TRUE(first->GetButtonState() & UISTATE_PUSHED);
    EXPECT_TRUE(window.manager.IsCaptured());
    // While captured the moves go to the pressed button, which is pushed
    // only while the mouse is over it; the hot control does not change.
    window.MoveTo(150, 10);
    EXPECT_FALSE(first->GetButtonState() & UISTATE_PUSHED);
    EXPECT_EQ(window.manager.GetHot(), first);
    window.MoveTo(20, 20);
    EXPECT_TRUE(first->GetButtonState() & UISTATE_PUSHED);
    window.Send(WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_FALSE(first->GetButtonState() & UISTATE_PUSHED);
    EXPECT_FALSE(window.manager.IsCaptured());

    window.MoveTo(150, 10);
    EXPECT_EQ(window.manager.GetHot(), second);
    EXPECT_FALSE(first->GetButtonState() & UISTATE_HOT);
    EXPECT_TRUE(second->GetButtonState() & UISTATE_HOT);

    // Leaving the window: a move to nowhere clears the hot control.
    window.Send(WM_MOUSEMOVE, 0, static_cast<LPARAM>(-1));
    EXPECT_EQ(window.manager.GetHot(), nullptr);
    EXPECT_FALSE(second->GetButtonState() & UISTATE_HOT);
}

TEST_F(InputFixture, TabMovesTheFocusAroundTheTabStops)
{
    // The first paint focused the first tab stop.
    EXPECT_EQ(window.manager.GetFocus(), first);
    MSG tab = {window.GetHWND(), WM_KEYDOWN, VK_TAB, 0};
    EXPECT_TRUE(CUIManager::PreTranslateMessage(&tab));
    EXPECT_EQ(window.manager.GetFocus(), second);
    EXPECT_TRUE(CUIManager::PreTranslateMessage(&tab));
    EXPECT_EQ(window.manager.GetFocus(), first);  // wraps; the label is no tab stop
    EXPECT_EQ(window.Count(L"setfocus", L"second"), 1);
    EXPECT_EQ(window.Count(L"killfocus", L"second"), 1);

    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    ::SetKeyboardState(keys);
    EXPECT_TRUE(CUIManager::PreTranslateMessage(&tab));
    keys[VK_SHIFT] = 0;
    ::SetKeyboardState(keys);
    EXPECT_EQ(window.manager.GetFocus(), second);

    // Space on the focused button clicks it.
    window.Send(WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(window.Count(L"click", L"second"), 1);
}

TEST_F(InputFixture, FocusingAHiddenOrDisabledControlOnlyTakesTheFocusAway)
{
    window.manager.SetFocusTo(first);
    window.notes.clear();
    second->SetVisible(false);
    window.manager.SetFocusTo(second);
    EXPECT_EQ(window.manager.GetFocus(), nullptr);
    ASSERT_EQ(window.notes.size(), 1u);
    EXPECT_EQ(window.notes[0].type, L"killfocus");
    EXPECT_EQ(window.notes[0].sender, L"first");

    window.manager.SetFocusTo(first);
    window.notes.clear();
    first->SetEnabled(false);  // losing the enabled state drops the focus too
    EXPECT_EQ(window.manager.GetFocus(), nullptr);
    EXPECT_EQ(window.Count(L"killfocus", L"first"), 1);
    EXPECT_EQ(window.Count(L"setfocus"), 0);
}

TEST_F(InputFixture, AsynchronousNotificationsCoalesceUntilDelivered)
{
    for (WPARAM i = 1; i <= 3; ++i) window.manager.EmitNotify(first, L"scroll", i, 0, true, false);
    window.manager.EmitNotify(second, L"scroll", 7, 0, true, false);
    window.manager.EmitNotify(first, L"itemclick", 1, 0, true, true);
    window.manager.EmitNotify(first, L"itemclick", 2, 0, true, true);
    EXPECT_TRUE(window.notes.empty());
    window.Pump();
    ASSERT_EQ(window.Count(L"scroll", L"first"), 1);
    for (const auto& note : window.notes) {
        if (note.type == L"scroll" && note.sender == L"first") {
            EXPECT_EQ(note.wParam, 3u);
        }
    }
    EXPECT_EQ(window.Count(L"scroll", L"second"), 1);
    EXPECT_EQ(window.Count(L"itemclick"), 2);

    // A sender deleted while its notification waits is not touched again.
    window.manager.EmitNotify(label, L"scroll", 1, 0, true, false);
    static_cast<CContainerUI*>(label->GetParent())->Remove(label);
    window.notes.clear();
    window.Pump();
    ASSERT_EQ(window.notes.size(), 1u);
    EXPECT_EQ(window.notes[0].sender, L"");
    EXPECT_EQ(window.manager.FindByName(L"label"), nullptr);
}

TEST_F(InputFixture, KeysGoToTheFocusedControl)
{
    struct KeyLog : CControlUI {
        UINT ControlFlags() const override { return UIFLAG_TABSTOP; }
        void HandleEvent(TUIEvent& event) override
        {
            if (event.type >= UIEVENT_KEYDOWN && event.type <= UIEVENT_SYSKEY) types.push_back(event.type);
            CControlUI::HandleEvent(event);
        }
        std::vector<UINT> types;
    };
    auto* keys = new KeyLog;
    static_cast<CContainerUI*>(window.manager.GetRoot())->Add(keys);
    window.manager.SetFocusTo(keys);
    window.Send(WM_KEYDOWN, 'A', 0);
    window.Send(WM_CHAR, 'a', 0);
    window.manager.SetFocusTo(first);  // the key-up still goes where the key-down went
    window.Send(WM_KEYUP, 'A', 0);
    std::vector<UINT> expected = {UIEVENT_KEYDOWN, UIEVENT_CHAR, UIEVENT_KEYUP};
    EXPECT_EQ(keys->types, expected);
}

TEST_F(InputFixture, NativeChildMessagesAndAltShortcuts)
{
    // A key for a native child window (an edit box's) is pre-translated by
    // the framework window it sits in: Tab still moves the focus.
    HWND child = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 150, 50, 20, window.GetHWND(),
                                   nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    window.manager.SetFocusTo(first);
    MSG tab = {child, WM_KEYDOWN, VK_TAB, 0};
    EXPECT_TRUE(CUIManager::PreTranslateMessage(&tab));
    EXPECT_EQ(window.manager.GetFocus(), second);
    ::DestroyWindow(child);

    // Alt+letter activates the control with that shortcut; a label hands
    // its shortcut on to the next control found.
    second->SetShortcut(L'S');
    label->SetShortcut(L'L');
    MSG alt = {window.GetHWND(), WM_SYSCHAR, L's', 0};
    EXPECT_TRUE(CUIManager::PreTranslateMessage(&alt));
    EXPECT_EQ(window.Count(L"click", L"second"), 1);
    alt.wParam = L'l';
    EXPECT_TRUE(CUIManager::PreTranslateMessage(&alt));
    alt.wParam = L'q';
    EXPECT_FALSE(CUIManager::PreTranslateMessage(&alt));
}

TEST_F(InputFixture, ControlsThatGoAwayAreForgotten)
{
    window.MoveTo(150, 10);
    window.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 10));
    ASSERT_EQ(window.manager.GetClickControl(), second);
    window.manager.SetUITimer(second, 3, 60000);
    ASSERT_EQ(window.manager.GetFocus(), second);
    static_cast<CContainerUI*>(second->GetParent())->Remove(second);
    EXPECT_EQ(window.manager.GetHot(), nullptr);
    EXPECT_EQ(window.manager.GetClickControl(), nullptr);
    EXPECT_EQ(window.manager.GetFocus(), nullptr);
    EXPECT_EQ(window.manager.FindByName(L"second"), nullptr);
    window.Send(WM_LBUTTONUP, 0, MAKELPARAM(150, 10));  // nothing left to send it to
    EXPECT_EQ(window.Count(L"click"), 0);
    window.manager.ReleaseCapture();
}

// Painting through the manager: the offscreen buffer of an ordinary window
// and the 32-bit buffer of a layered one, checked at pixels that matter.
#include <gtest/gtest.h>

#include <memory>

#include "HostWindow.h"
#include "ui/controls/ButtonUI.h"
#include "ui/controls/ContainerUI.h"
#include "ui/controls/LabelUI.h"
#include "ui/markup/LayoutBuilder.h"

using namespace SkinUI;
using testing_support::HostWindow;

namespace {

struct PaintFixture : ::testing::Test {
    static void SetUpTestSuite()
    {
        s_window = new HostWindow;
        ASSERT_TRUE(s_window->Create(200, 100));
    }
    static void TearDownTestSuite()
    {
        delete s_window;
        s_window = nullptr;
    }

    // A red window with a floating 40 x 20 child at (10, 10).
    CControlUI* AttachRedTreeWithChild(CControlUI* child)
    {
        auto* root = new CContainerUI;
        root->SetBkColor(0xFFFF0000);
        child->SetFloat(true);
        child->SetFixedXY({10, 10});
        child->SetFixedWidth(40);
        child->SetFixedHeight(20);
        root->Add(child);
        window.manager.AttachTree(root);
        return root;
    }

    COLORREF Offscreen(int x, int y) { return ::GetPixel(window.manager.GetOffscreenDC(), x, y); }
    DWORD Layered(int x, int y) { return window.manager.GetLayeredBuffer().Row(y)[x]; }

    static HostWindow* s_window;
    HostWindow& window = *s_window;
};

HostWindow* PaintFixture::s_window = nullptr;

DWORD Layered0(const CUIManager& manager) { return manager.GetLayeredBuffer().Row(0)[0]; }

// A layered 200 x 100 window of its own: red, with a floating 40 x 20 child
// at (10, 10), painted once.
struct LayeredWindow {
    bool Open()
    {
        window = std::make_unique<HostWindow>();
        if (!window->Create(200, 100, WS_EX_LAYERED)) return false;
        root = new CContainerUI;
        child = new CControlUI;
        child->SetFloat(true);
        child->SetFixedXY({10, 10});
        child->SetFixedWidth(40);
        child->SetFixedHeight(20);
        root->SetBkColor(0xFFFF0000);
        root->Add(child);
        window->manager.AttachTree(root);
        window->manager.SetLayered(true);
        window->manager.PaintNow();
        return true;
    }
    std::unique_ptr<HostWindow> window;
    CContainerUI* root = nullptr;
    CControlUI* child = nullptr;
};

}  // namespace

TEST_F(PaintFixture, OffscreenBufferHoldsBackgroundChildAndBorder)
{
    auto* child = new CControlUI;
    child->SetBkColor(0xFF00FF00);
    child->SetBorderColor(0xFF0000FF);
    child->SetBorderSize({2, 2, 2, 2});
    AttachRedTreeWithChild(child);
    window.manager.InvalidateWindow();
    window.manager.PaintNow();
    ASSERT_NE(window.manager.GetOffscreenDC(), nullptr);
    EXPECT_EQ(Offscreen(100, 80), RGB(255, 0, 0));
    EXPECT_EQ(Offscreen(30, 20), RGB(0, 255, 0));
    EXPECT_EQ(Offscreen(10, 10), RGB(0, 0, 255));  // border inside the control
    EXPECT_EQ(Offscreen(11, 20), RGB(0, 0, 255));
    EXPECT_EQ(Offscreen(12, 20), RGB(0, 255, 0));
    EXPECT_EQ(Offscreen(49, 29), RGB(0, 0, 255));
    EXPECT_EQ(Offscreen(50, 30), RGB(255, 0, 0));

    // Only the dirty part is painted again.
    child->SetBkColor(0xFF000000 | RGB(0, 0, 0x80));
    child->SetBorderColor(0);
    window.manager.PaintNow();
    EXPECT_EQ(Offscreen(30, 20), RGB(0x80, 0, 0));  // COLORREF is 0x00BBGGRR
}

TEST_F(PaintFixture, GradientsAndRoundedCorners)
{
    auto* child = new CControlUI;
    child->SetBkColor(0xFF000000);
    child->SetBkColor2(0xFFFFFFFF);
    AttachRedTreeWithChild(child);
    child->SetFixedHeight(64);
    window.manager.InvalidateWindow();
    window.manager.PaintNow();
    // Vertical by default: 16 bands from black at the top to white at the
    // bottom, each 4 pixels high.
    EXPECT_EQ(Offscreen(20, 10), RGB(0, 0, 0));
    EXPECT_EQ(Offscreen(20, 73), RGB(255, 255, 255));
    EXPECT_EQ(Offscreen(20, 14), RGB(17, 17, 17));
    EXPECT_EQ(Offscreen(20, 17), RGB(17, 17, 17));

    child->SetVerticalGradient(false);
    child->SetBkColor3(0xFF000000);
    child->SetBorderRound({20, 20});
    window.manager.PaintNow();
    EXPECT_EQ(Offscreen(10, 40), RGB(0, 0, 0));    // left end: first colour
    EXPECT_EQ(Offscreen(31, 40), RGB(255, 255, 255));  // middle: second colour
    EXPECT_EQ(Offscreen(10, 10), RGB(255, 0, 0));  // clipped off at the corner
}

TEST_F(PaintFixture, LabelTextIsDrawnInItsColour)
{
    auto* label = new CLabelUI;
    label->SetText(L"MMMM");
    label->SetTextColor(0xFF0000FF);
    label->SetBkColor(0xFFFFFFFF);
    AttachRedTreeWithChild(label);
    window.manager.InvalidateWindow();
    window.manager.PaintNow();
    // Glyphs may be smoothed: count the pixels that turned blue-ish.
    int blue = 0;
    for (int y = 10; y < 30; ++y) {
        for (int x = 10; x < 50; ++x) {
            COLORREF pixel = Offscreen(x, y);
            blue += GetBValue(pixel) > 200 && GetRValue(pixel) < 150 ? 1 : 0;
        }
    }
    EXPECT_GT(blue, 10);
    EXPECT_EQ(Offscreen(49, 29), RGB(255, 255, 255));
}

TEST_F(PaintFixture, LayeredBufferCarriesAlpha)
{
    auto* child = new CControlUI;
    child->SetBkColor(0x8000FF00);
    CControlUI* root = AttachRedTreeWithChild(child);
    root->SetBkColor(0);
    window.manager.SetLayered(true);
    window.manager.PaintNow();
    const CDibSection& buffer = window.manager.GetLayeredBuffer();
    ASSERT_NE(buffer.Pixels(), nullptr);
    ASSERT_EQ(buffer.Width(), 200);
    EXPECT_EQ(Layered(100, 80), 0u);  // nothing painted: transparent
    EXPECT_EQ(Layered(30, 20), 0x80008000u);  // premultiplied half green

    root->SetBkColor(0xFFFF0000);
    window.manager.PaintNow();
    EXPECT_EQ(Layered(100, 80), 0xFFFF0000u);
    DWORD blended = Layered(30, 20);
    EXPECT_EQ(blended >> 24, 0xFFu);
    EXPECT_NEAR(static_cast<int>((blended >> 16) & 0xFF), 127, 1);
    EXPECT_NEAR(static_cast<int>((blended >> 8) & 0xFF), 128, 1);

    // Invalidation only grows the dirty rectangle; the flush timer paints it.
    child->SetBkColor(0xFF0000FF);
    for (int i = 0; i < 50 && Layered(30, 20) != 0xFF0000FFu; ++i) {
        ::Sleep(10);
        window.Pump();
    }
    EXPECT_EQ(Layered(30, 20), 0xFF0000FFu);
    window.manager.SetLayered(false);
}

TEST_F(PaintFixture, ButtonImagesFollowItsState)
{
    auto* button = new CButtonUI;
    button->SetAttr(L"normalimage", L"color='#FF00FF00'");
    button->SetAttr(L"hotimage", L"color='#FF0000FF'");
    button->SetAttr(L"pushedimage", L"color='#FFFFFF00'");
    AttachRedTreeWithChild(button);
    window.manager.PaintNow();
    // The first paint gave it the focus; without it, whatever the system's
    // keyboard cues say, it starts normal.
    window.manager.SetFocusTo(nullptr);
    window.manager.InvalidateWindow();
    window.manager.PaintNow();
    EXPECT_EQ(Offscreen(30, 20), RGB(0, 255, 0));
    window.MoveTo(30, 20);
    window.manager.PaintNow();
    EXPECT_EQ(Offscreen(30, 20), RGB(0, 0, 255));
    window.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 20));
    window.manager.PaintNow();
    EXPECT_EQ(Offscreen(30, 20), RGB(255, 255, 0));
    window.Send(WM_LBUTTONUP, 0, MAKELPARAM(30, 20));
    EXPECT_EQ(window.Count(L"click"), 1);

    // Pressed, dragged off and released away: no click, and not hot any more
    // (the pointer left while the button held the mouse).
    window.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 20));
    window.Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, 100));
    window.Send(WM_LBUTTONUP, 0, MAKELPARAM(150, 100));
    window.manager.SetFocusTo(nullptr);
    window.manager.PaintNow();
    EXPECT_EQ(Offscreen(30, 20), RGB(0, 255, 0)) << "the hover picture stayed";
    EXPECT_EQ(window.Count(L"click"), 1);

    // Focused with the keyboard cues on: the hot picture and a ring inside
    // the button's edge.
    window.manager.SetFocusTo(button);
    window.manager.ShowKeyboardCues();
    window.manager.PaintNow();
    EXPECT_EQ(Offscreen(30, 20), RGB(0, 0, 255));
    EXPECT_EQ(Offscreen(10, 20), RGB(0, 0xEA, 0xFF));
    EXPECT_EQ(Offscreen(49, 29), RGB(0, 0xEA, 0xFF));
}

TEST_F(PaintFixture, SetupSkinInALayeredWindow)
{
    // The setup wizard's skin from the program's resources: the layered
    // image masks the window (its corners are transparent), the buttons show
    // their pictures.
    window.manager.AttachTree(nullptr);
    CLayoutBuilder builder;
    CControlUI* root = builder.BuildFromSource(MAKEINTRESOURCEW(139), L"xml", nullptr, &window.manager);
    ASSERT_NE(root, nullptr);
    window.manager.AttachTree(root);
    ASSERT_TRUE(window.manager.IsLayered());
    window.manager.PaintNow();
    const CDibSection& buffer = window.manager.GetLayeredBuffer();
    ASSERT_EQ(buffer.Width(), 647);
    ASSERT_EQ(buffer.Height(), 449);

    EXPECT_EQ(Layered(0, 0), 0u);
    EXPECT_EQ(Layered(646, 448), 0u);
    EXPECT_EQ(Layered(300, 200) >> 24, 0xFFu);
    // The mask's soft edge: alpha from the picture, colour premultiplied.
    DWORD edge = Layered(0, 200);
    EXPECT_GT(edge >> 24, 0u);
    EXPECT_LT(edge >> 24, 0xFFu);
    EXPECT_LE((edge >> 16) & 0xFF, edge >> 24);

    // btnNext (516, 375, 604, 403): its picture's pixel, then the hot one's.
    ImageData* normal = window.manager.FindImage(L"156");
    ImageData* hot = window.manager.FindImage(L"157");
    ASSERT_NE(normal, nullptr);
    ASSERT_NE(hot, nullptr);
    auto picture = [](ImageData* image, int x, int y) {
        return reinterpret_cast<const DWORD*>(image->pixels)[y * image->width + x];
    };
    EXPECT_EQ(Layered(516 + 44, 375 + 14), picture(normal, 44, 14));
    window.Send(WM_MOUSEMOVE, 0, MAKELPARAM(516 + 44, 375 + 14));
    window.manager.PaintNow();
    EXPECT_EQ(Layered(516 + 44, 375 + 14), picture(hot, 44, 14));
    EXPECT_NE(picture(normal, 44, 14), picture(hot, 44, 14));
    window.Send(WM_MOUSEMOVE, 0, static_cast<LPARAM>(-1));

    window.manager.AttachTree(nullptr);
    window.manager.SetLayered(false);
}

TEST(LayeredFrames, FollowTheWindowWhileItIsDraggedResizedAndClosed)
{
    // Frames after the first go to the screen from another thread, while
    // this one goes on moving and resizing the window: no frame may put the
    // window back where it was when the frame was painted, and closing the
    // window with a frame in flight must neither hang nor crash.
    LayeredWindow layered;
    ASSERT_TRUE(layered.Open());
    auto& window = layered.window;
    CControlUI* child = layered.child;

    auto frame = [&](int i) {
        child->SetBkColor(i % 2 == 0 ? 0xFF00FF00 : 0xFF0000FF);
        ::Sleep(12);  // the flush timer comes due
        window->Pump();
    };
    for (int i = 0; i < 40; ++i) {
        frame(i);
        ::SetWindowPos(window->GetHWND(), nullptr, 100 + i * 5, 60 + i * 3, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    window->manager.PaintNow();
    RECT rect;
    ::GetWindowRect(window->GetHWND(), &rect);
    EXPECT_EQ(rect.left, 100 + 39 * 5);
    EXPECT_EQ(rect.top, 60 + 39 * 3);

    for (int i = 0; i < 20; ++i) {
        frame(i);
        ::SetWindowPos(window->GetHWND(), nullptr, 0, 0, 220 - i * 4, 120 - i * 2,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (int i = 0; i < 10; ++i) frame(i);
    window->manager.PaintNow();
    ::GetWindowRect(window->GetHWND(), &rect);
    EXPECT_EQ(rect.right - rect.left, 220 - 19 * 4);
    EXPECT_EQ(rect.bottom - rect.top, 120 - 19 * 2);
    EXPECT_EQ(window->manager.GetLayeredBuffer().Width(), 220 - 19 * 4);
    EXPECT_EQ(Layered0(window->manager), 0xFFFF0000u);

    frame(1);
    window.reset();  // a frame is most likely still in flight
}

TEST(LayeredFrames, KeepComingWhenTheWindowIsResizedWhileSomethingMoves)
{
    // A carousel changes the layout on every tick. A resize (a restore from
    // the taskbar, for one) must not stop the frames: the window would show
    // its old pixels for as long as the carousel runs.
    LayeredWindow layered;
    ASSERT_TRUE(layered.Open());
    auto& window = layered.window;
    CControlUI* child = layered.child;

    ::SetWindowPos(window->GetHWND(), nullptr, 0, 0, 190, 95, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Each tick of the flush timer comes after the layout changed again. A
    // tick may find the last frame still on its way and leave the damage
    // for the next one, so a frame gets a few ticks.
    int shown = 0;
    for (int i = 0; i < 10; ++i) {
        const DWORD colour = i % 2 == 0 ? 0xFF00FF00 : 0xFF0000FF;
        child->SetBkColor(colour);
        for (int tick = 0; tick < 20; ++tick) {
            child->SetFixedXY({10 + tick % 2 * 2, 10});
            window->Send(WM_TIMER, CUIManager::kLayeredTimerId);
            const CDibSection& buffer = window->manager.GetLayeredBuffer();
            if (buffer.Pixels() != nullptr && buffer.Width() == 190 && buffer.Row(20)[30] == colour) {
                ++shown;
                break;
            }
            ::Sleep(5);
        }
    }
    EXPECT_EQ(shown, 10) << "frames painted while the layout kept changing after a resize";
}

TEST(LayeredFrames, StopTheirTimerWhenTheWindowIsLayeredNoMore)
{
    // The flush timer runs while damage keeps coming; a window that stops
    // being layered mid-way paints through WM_PAINT, and a timer left
    // behind would wake its thread every 10 ms for as long as it lives.
    LayeredWindow layered;
    ASSERT_TRUE(layered.Open());
    auto& window = layered.window;
    CControlUI* root = layered.root;
    for (int i = 0; i < 5; ++i) {
        root->SetBkColor(i % 2 == 0 ? 0xFF00FF00 : 0xFF0000FF);
        ::Sleep(12);
        window->Pump();
    }
    root->SetBkColor(0xFFFFFFFF);  // damage pending as the style changes
    window->manager.SetLayered(false);
    for (int i = 0; i < 5; ++i) {
        ::Sleep(12);
        window->Pump();
    }
    EXPECT_FALSE(::KillTimer(window->GetHWND(), CUIManager::kLayeredTimerId)) << "the flush timer still runs";
}

TEST(LayeredFrames, LeaveAMoveOrResizeMadeWhileOneIsInFlightAsItWas)
{
    // Each move or resize comes right after a frame was handed over, while
    // it is most likely still on its way: the window must end up where it
    // was put, not where it was when its frame started.
    LayeredWindow layered;
    ASSERT_TRUE(layered.Open());
    auto& window = layered.window;
    int undone = 0;
    auto check = [&](int i, const RECT& expected) {
        layered.child->SetBkColor(i % 2 == 0 ? 0xFF00FF00 : 0xFF0000FF);
        window->Send(WM_TIMER, CUIManager::kLayeredTimerId);
        ::SetWindowPos(window->GetHWND(), nullptr, expected.left, expected.top, expected.right - expected.left,
                       expected.bottom - expected.top, SWP_NOZORDER | SWP_NOACTIVATE);
        window->manager.PaintNow();
        RECT rect;
        ::GetWindowRect(window->GetHWND(), &rect);
        if (!::EqualRect(&rect, &expected)) ++undone;
    };
    for (int i = 0; i < 200; ++i) {
        const int x = 100 + i % 50;
        const int y = 60 + i % 30;
        check(i, {x, y, x + 200, y + 100});
    }
    for (int i = 0; i < 60; ++i) check(i, {100, 60, 100 + 200 - i % 20, 60 + 100 - i % 10});
    EXPECT_EQ(undone, 0) << "moves or resizes undone by a frame in flight";
}

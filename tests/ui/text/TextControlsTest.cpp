// Text with links, labels with markup, the button's cross-fade and hot
// looks, and tooltips, in a real window.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "TextTestWindow.h"
#include "ui/controls/ButtonUI.h"
#include "ui/controls/TextUI.h"

using SkinUI::CButtonUI;
using SkinUI::CTextUI;
using text_test::Snapshot;
using text_test::TextTestWindow;

namespace {

POINT Centre(const RECT& rect) { return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }

// Pixels in `rect` that lean towards a colour: red or blue well above the
// other channels (anti-aliased edges included).
int Reddish(const Snapshot& shot, const RECT& rect)
{
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            DWORD p = shot.At(x, y);
            int r = (p >> 16) & 0xFF, b = p & 0xFF;
            if (r > b + 60) ++count;
        }
    }
    return count;
}

int Bluish(const Snapshot& shot, const RECT& rect)
{
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            DWORD p = shot.At(x, y);
            int r = (p >> 16) & 0xFF, b = p & 0xFF;
            if (b > r + 60) ++count;
        }
    }
    return count;
}

struct TooltipSearch {
    HWND owner;
    HWND found;
};

// The tooltip window owned by the search's window (a stdcall callback on
// 32-bit, hence no lambda).
BOOL CALLBACK FindTooltip(HWND candidate, LPARAM data)
{
    auto* search = reinterpret_cast<TooltipSearch*>(data);
    wchar_t name[64] = {};
    ::GetClassNameW(candidate, name, 64);
    if (std::wstring(name) == TOOLTIPS_CLASSW && ::GetWindow(candidate, GW_OWNER) == search->owner) {
        search->found = candidate;
        return FALSE;
    }
    return TRUE;
}

class TextControlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_window = new TextTestWindow;
        ASSERT_TRUE(s_window->Open());
    }
    static void TearDownTestSuite()
    {
        delete s_window;
        s_window = nullptr;
    }

    // The real cursor goes there too: mouse tracking would otherwise report
    // it outside the window and undo the hover.
    void Move(POINT point)
    {
        POINT screen = point;
        ::ClientToScreen(window.GetHWND(), &screen);
        ::SetCursorPos(screen.x, screen.y);
        window.Send(WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
    }

    // Sends the window the system timer behind a control's timer, as the
    // system would.
    bool Tick(SkinUI::CControlUI* control, UINT id)
    {
        UINT_PTR system = window.manager.GetSystemTimerId(control, id);
        if (system == 0) return false;
        window.Send(WM_TIMER, system, 0);
        return true;
    }

    static TextTestWindow* s_window;
    TextTestWindow& window = *s_window;
};

TextTestWindow* TextControlsTest::s_window = nullptr;

const wchar_t* const kLinks =
    L"<Window><VerticalLayout bkcolor=\"#FFFFFFFF\">"
    L"<Text name=\"text\" float=\"true\" pos=\"10,10,390,50\" showhtml=\"true\" textcolor=\"#FF000000\" "
    L"text=\"Read {a=terms}the terms{/a} and {a}more{/a}.\" />"
    L"<Text name=\"plain\" float=\"true\" pos=\"10,60,390,90\" text=\"{a}not a link{/a}\" />"
    L"</VerticalLayout></Window>";

}  // namespace

TEST_F(TextControlsTest, LinksAreFoundTrackedAndClicked)
{
    ASSERT_TRUE(window.Load(kLinks));
    auto* text = window.Find<CTextUI>(L"text");
    ASSERT_NE(text, nullptr);
    const auto& links = text->GetLinkRects();
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].link, 0);
    EXPECT_EQ(links[1].link, 1);
    EXPECT_LT(links[0].rect.right, links[1].rect.left);
    EXPECT_GT(links[0].rect.right - links[0].rect.left, links[1].rect.right - links[1].rect.left);
    EXPECT_EQ(std::wstring(text->GetLinkTarget(0)), L"terms");
    const RECT first = links[0].rect;
    const RECT second = links[1].rect;

    // Both links in the link colour, none hot.
    Snapshot idle(window.manager, 400, 200);
    EXPECT_GT(Bluish(idle, first), 0);
    EXPECT_GT(Bluish(idle, second), 0);
    EXPECT_EQ(text->GetHotLink(), -1);

    // Over the first link: hot, drawn in the hover colour (reddish).
    Move(Centre(first));
    EXPECT_EQ(text->GetHotLink(), 0);
    Snapshot hot(window.manager, 400, 200);
    EXPECT_GT(Reddish(hot, first), 0);
    EXPECT_EQ(Reddish(hot, second), 0);

    // The hand over a link, the arrow elsewhere.
    window.Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(window.GetHWND()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));

    // Between the links: nothing hot, and a click there sends nothing.
    POINT gap = {(first.right + second.left) / 2, Centre(first).y};
    Move(gap);
    EXPECT_EQ(text->GetHotLink(), -1);
    window.Click(gap.x, gap.y);
    EXPECT_EQ(window.Count(L"link"), 0);

    window.Click(Centre(second).x, Centre(second).y);
    ASSERT_EQ(window.Count(L"link", L"text"), 1);
    EXPECT_EQ(window.Last(L"link")->wParam, 1u);

    // Disabled: no more links.
    text->SetEnabled(false);
    window.Click(Centre(first).x, Centre(first).y);
    EXPECT_EQ(window.Count(L"link"), 1);

    // Without showhtml the braces are plain text.
    EXPECT_TRUE(window.Find<CTextUI>(L"plain")->GetLinkRects().empty());
}

TEST_F(TextControlsTest, AtMostEightLinkRectangles)
{
    std::wstring many;
    for (int i = 0; i < 10; ++i) many += L"{a}L" + std::to_wstring(i) + L"{/a} ";
    std::wstring skin = L"<Window><VerticalLayout>"
                        L"<Text name=\"text\" float=\"true\" pos=\"10,10,390,50\" showhtml=\"true\" text=\"" +
                        many + L"\" /></VerticalLayout></Window>";
    ASSERT_TRUE(window.Load(skin.c_str()));
    const auto& links = window.Find<CTextUI>(L"text")->GetLinkRects();
    ASSERT_EQ(links.size(), CTextUI::kMaxLinks);
    EXPECT_EQ(links.back().link, 7);

    // A link wrapped over two lines has a rectangle on each.
    skin = L"<Window><VerticalLayout>"
           L"<Text name=\"text\" float=\"true\" pos=\"10,10,110,150\" showhtml=\"true\" multiline=\"true\" "
           L"text=\"{a}one two three four five six seven{/a}\" /></VerticalLayout></Window>";
    ASSERT_TRUE(window.Load(skin.c_str()));
    const auto& wrapped = window.Find<CTextUI>(L"text")->GetLinkRects();
    ASSERT_GE(wrapped.size(), 2u);
    EXPECT_EQ(wrapped[0].link, 0);
    EXPECT_EQ(wrapped[1].link, 0);
    EXPECT_GT(wrapped[1].rect.top, wrapped[0].rect.top);
    EXPECT_LE(wrapped[0].rect.right, 110);
}

TEST_F(TextControlsTest, LabelDrawsItsMarkup)
{
    ASSERT_TRUE(window.Load(L"<Window><VerticalLayout bkcolor=\"#FFFFFFFF\">"
                            L"<Label name=\"label\" float=\"true\" pos=\"10,10,390,50\" showhtml=\"true\" "
                            L"text=\"{c=#FFFF0000}red{/c} black\" />"
                            L"</VerticalLayout></Window>"));
    Snapshot shot(window.manager, 400, 200);
    RECT area = {10, 10, 390, 50};
    EXPECT_GT(Reddish(shot, area), 0);
    // The tags themselves are not drawn: the ink is no wider than the words.
    auto ink = shot.InkColumns(area, 0xFFFFFF);
    ASSERT_GE(ink.first, 0);
    ASSERT_TRUE(window.Load(L"<Window><VerticalLayout bkcolor=\"#FFFFFFFF\">"
                            L"<Label name=\"label\" float=\"true\" pos=\"10,10,390,50\" text=\"red black\" />"
                            L"</VerticalLayout></Window>"));
    Snapshot plain(window.manager, 400, 200);
    auto plainInk = plain.InkColumns(area, 0xFFFFFF);
    EXPECT_NEAR(ink.second - ink.first, plainInk.second - plainInk.first, 2);
}

TEST_F(TextControlsTest, ButtonFadeStepsEveryTickAndStopsAtTheEnds)
{
    ASSERT_TRUE(window.Load(L"<Window><VerticalLayout bkcolor=\"#FFFFFFFF\">"
                            // Not a tab stop: the first paint would focus it, and a
                            // focused button shows its focused look, unfaded.
                            L"<Button name=\"button\" float=\"true\" pos=\"10,10,110,50\" fadedelta=\"60\" "
                            L"keyboard=\"false\" "
                            L"normalimage=\"color='#FFFF0000'\" hotimage=\"color='#FF0000FF'\" />"
                            L"</VerticalLayout></Window>"));
    auto* button = window.Find<CButtonUI>(L"button");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->GetFadeAlpha(), 255);
    EXPECT_EQ(Bluish(Snapshot(window.manager, 400, 200), RECT{50, 20, 60, 30}), 0) << "red while idle";

    Move(POINT{60, 30});
    ASSERT_TRUE(button->GetButtonState() & SkinUI::UISTATE_HOT);
    const UINT_PTR system = window.manager.GetSystemTimerId(button, CButtonUI::kFadeTimerId);
    ASSERT_NE(system, 0u) << "entering starts timer 11";
    ASSERT_TRUE(::KillTimer(window.GetHWND(), system)) << "the system timer runs";
    // From here on the ticks are sent by hand.
    const int down[] = {195, 135, 75, 15, 0};
    for (int expected : down) {
        ASSERT_TRUE(Tick(button, CButtonUI::kFadeTimerId));
        EXPECT_EQ(button->GetFadeAlpha(), expected);
    }
    // Stopped at 0: a further tick finds no running timer.
    ASSERT_TRUE(Tick(button, CButtonUI::kFadeTimerId));
    EXPECT_EQ(button->GetFadeAlpha(), 0);
    EXPECT_EQ(Reddish(Snapshot(window.manager, 400, 200), RECT{50, 20, 60, 30}), 0) << "all blue when hot";

    // Leaving fades back up to 255, halfway a mix of both.
    Move(POINT{300, 150});
    ASSERT_FALSE(button->GetButtonState() & SkinUI::UISTATE_HOT);
    ::KillTimer(window.GetHWND(), window.manager.GetSystemTimerId(button, CButtonUI::kFadeTimerId));
    ASSERT_TRUE(Tick(button, CButtonUI::kFadeTimerId));
    ASSERT_TRUE(Tick(button, CButtonUI::kFadeTimerId));
    EXPECT_EQ(button->GetFadeAlpha(), 120);
    {
        Snapshot mixed(window.manager, 400, 200);
        DWORD p = mixed.At(55, 25);
        EXPECT_GT((p >> 16) & 0xFF, 0x40u);
        EXPECT_GT(p & 0xFF, 0x40u);
    }
    const int up[] = {180, 240, 255, 255};
    for (int expected : up) {
        ASSERT_TRUE(Tick(button, CButtonUI::kFadeTimerId));
        EXPECT_EQ(button->GetFadeAlpha(), expected);
    }

    // With the real timer, every 30 ms, a hover fades all the way.
    Move(POINT{60, 30});
    window.PumpFor(600);
    EXPECT_EQ(button->GetFadeAlpha(), 0);
}

TEST_F(TextControlsTest, ButtonHotLooks)
{
    ASSERT_TRUE(window.Load(L"<Window><VerticalLayout bkcolor=\"#FFFFFFFF\">"
                            L"<Button name=\"colour\" float=\"true\" pos=\"10,10,110,50\" hotbkcolor=\"#FF00FF00\" "
                            L"foreimage=\"color='#FFFF0000' dest='0,0,10,10'\" />"
                            L"<Button name=\"fore\" float=\"true\" pos=\"10,60,110,100\" "
                            L"foreimage=\"color='#FFFF0000' dest='0,0,10,10'\" "
                            L"hotforeimage=\"color='#FF0000FF' dest='0,0,10,10'\" />"
                            L"<Button name=\"disabled\" float=\"true\" pos=\"10,110,110,150\" enabled=\"false\" "
                            L"normalimage=\"color='#FFFF0000'\" disabledimage=\"color='#FF0000FF'\" />"
                            L"</VerticalLayout></Window>"));
    {
        Snapshot shot(window.manager, 400, 200);
        EXPECT_EQ(shot.At(15, 15), 0xFF0000u) << "the fore image while not hot";
        EXPECT_EQ(shot.At(15, 65), 0xFF0000u);
        EXPECT_EQ(shot.At(50, 120), 0x0000FFu) << "the disabled image";
    }
    Move(POINT{60, 40});
    {
        Snapshot shot(window.manager, 400, 200);
        EXPECT_EQ(shot.At(15, 15), 0x00FF00u) << "the hot background colour instead of the fore image";
        EXPECT_EQ(shot.At(80, 40), 0x00FF00u);
    }
    Move(POINT{60, 90});
    {
        Snapshot shot(window.manager, 400, 200);
        EXPECT_EQ(shot.At(15, 65), 0x0000FFu) << "the hot fore image instead of the fore image";
        EXPECT_EQ(shot.At(15, 15), 0xFF0000u) << "the first button is no longer hot";
    }
}

TEST_F(TextControlsTest, CoveredButtonStaysHotUntilTheMouseReallyLeaves)
{
    ASSERT_TRUE(window.Load(L"<Window><VerticalLayout>"
                            L"<Button name=\"button\" float=\"true\" pos=\"10,10,110,50\" />"
                            L"<Label name=\"cover\" float=\"true\" pos=\"60,10,110,50\" />"
                            L"</VerticalLayout></Window>"));
    auto* button = window.Find<CButtonUI>(L"button");
    Move(POINT{30, 30});
    ASSERT_TRUE(button->GetButtonState() & SkinUI::UISTATE_HOT);
    // Onto the part another control covers: the button hears the leave with
    // the mouse still inside it, keeps hot and asks for every later leave.
    Move(POINT{80, 30});
    EXPECT_EQ(window.manager.GetHot(), window.Find(L"cover"));
    EXPECT_TRUE(button->GetButtonState() & SkinUI::UISTATE_HOT);
    // Out of both: that later leave clears it.
    Move(POINT{300, 150});
    EXPECT_FALSE(button->GetButtonState() & SkinUI::UISTATE_HOT);
}

TEST_F(TextControlsTest, HoverShowsTheTooltipWithLanguageTexts)
{
    ASSERT_TRUE(window.Load(L"<Window><MultiLanguage id=\"5\" value=\"选择安装目录\" />"
                            L"<VerticalLayout>"
                            L"<Button name=\"tipped\" float=\"true\" pos=\"10,10,110,50\" tooltip=\"%{5} (%{6})\" />"
                            L"<Button name=\"bare\" float=\"true\" pos=\"10,60,110,100\" />"
                            L"</VerticalLayout></Window>"));
    auto tooltip = [this]() -> HWND {
        TooltipSearch search{window.GetHWND(), nullptr};
        ::EnumThreadWindows(::GetCurrentThreadId(), FindTooltip, reinterpret_cast<LPARAM>(&search));
        return search.found;
    };

    // Hovering a control without a tooltip shows nothing.
    Move(POINT{60, 80});
    window.Send(WM_MOUSEHOVER, 0, MAKELPARAM(60, 80));
    HWND tip = tooltip();
    EXPECT_TRUE(tip == nullptr || !::IsWindowVisible(tip));

    Move(POINT{60, 30});
    window.Send(WM_MOUSEHOVER, 0, MAKELPARAM(60, 30));
    tip = tooltip();
    ASSERT_NE(tip, nullptr) << "made on the first hover";
    EXPECT_TRUE(::IsWindowVisible(tip));
    wchar_t text[128] = {};
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = window.GetHWND();
    tool.uId = reinterpret_cast<UINT_PTR>(window.GetHWND());
    tool.lpszText = text;
    ::SendMessageW(tip, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(std::wstring(text), L"选择安装目录 (%{6})") << "known entries replaced, unknown ones kept";
    EXPECT_EQ(::SendMessageW(tip, TTM_GETMAXTIPWIDTH, 0, 0), 300);

    // Leaving the button hides it; the window stays for the next hover.
    Move(POINT{300, 150});
    EXPECT_FALSE(::IsWindowVisible(tip));
    Move(POINT{60, 30});
    window.Send(WM_MOUSEHOVER, 0, MAKELPARAM(60, 30));
    EXPECT_EQ(tooltip(), tip);
    EXPECT_TRUE(::IsWindowVisible(tip));
}

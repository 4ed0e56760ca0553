// The edit box: its native window while focused (styles, place, text,
// limits), what typing and Enter send, closing on focus loss, the painted
// text (alignment, password mask), the background brushes, the layered
// window's printed child and caret, and no leaks over many edit sessions.
#include <gtest/gtest.h>


#include "TextTestWindow.h"
#include "ui/controls/EditUI.h"

using SkinUI::CEditUI;
using text_test::Snapshot;
using text_test::TextTestWindow;

namespace {

const wchar_t* const kHint = L"请在这里输入应用名称";

std::wstring Skin(const std::wstring& editAttributes)
{
    return L"<Window><VerticalLayout bkcolor=\"#FFFFFFFF\">"
           L"<Edit name=\"edit\" float=\"true\" pos=\"10,10,210,50\" textcolor=\"#FF000000\" " +
           editAttributes +
           L" />"
           L"<Button name=\"button\" float=\"true\" pos=\"10,100,110,130\" text=\"ok\" />"
           L"</VerticalLayout></Window>";
}

std::wstring NativeText(HWND window)
{
    wchar_t buffer[256] = {};
    ::GetWindowTextW(window, buffer, 256);
    return buffer;
}

RECT ClientRectIn(HWND child, HWND parent)
{
    RECT rect;
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Window enumeration callbacks are stdcall on 32-bit: plain functions, not
// lambdas.
BOOL CALLBACK CountWindow(HWND, LPARAM count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

BOOL CALLBACK CountWindowAndChildren(HWND top, LPARAM count)
{
    CountWindow(top, count);
    ::EnumChildWindows(top, CountWindow, count);
    return TRUE;
}

void Type(HWND window, const wchar_t* text)
{
    for (const wchar_t* p = text; *p != L'\0'; ++p) ::SendMessageW(window, WM_CHAR, *p, 1);
}

class EditTest : public ::testing::Test {
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

    static TextTestWindow* s_window;
    TextTestWindow& window = *s_window;
};

TextTestWindow* EditTest::s_window = nullptr;

}  // namespace

TEST_F(EditTest, FocusOpensNativeWindowOverTheTextArea)
{
    ASSERT_TRUE(window.Load(Skin(L"text=\"hello\" textpadding=\"4,3,4,3\"").c_str()));
    auto* edit = window.Find<CEditUI>(L"edit");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->GetNativeWindow(), nullptr) << "no native window before the focus";

    edit->SetFocus();
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(::GetParent(native), window.GetHWND());
    EXPECT_EQ(::GetFocus(), native);
    EXPECT_TRUE(::IsWindowVisible(native));
    EXPECT_EQ(NativeText(native), L"hello");

    LONG_PTR style = ::GetWindowLongPtrW(native, GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_TRUE(style & ES_AUTOHSCROLL);
    EXPECT_FALSE(style & (ES_CENTER | ES_RIGHT | ES_PASSWORD | ES_NUMBER));
    EXPECT_EQ(::SendMessageW(native, EM_GETLIMITTEXT, 0, 0), 255);
    EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(native, WM_GETFONT, 0, 0)), window.manager.GetFont(-1));

    // The control's 200 x 40 less the padding (192 x 34), then as tall as
    // the font and centred in it.
    const int fontHeight = window.manager.GetFontInfo(-1)->metrics.tmHeight;
    ASSERT_GT(fontHeight, 0);
    ASSERT_LT(fontHeight, 34);
    RECT rect = ClientRectIn(native, window.GetHWND());
    EXPECT_EQ(rect.left, 14);
    EXPECT_EQ(rect.right, 206);
    EXPECT_EQ(rect.top, 13 + (34 - fontHeight) / 2);
    EXPECT_EQ(rect.bottom - rect.top, fontHeight);

    // The caret waits at the end of the text.
    DWORD start = 0, end = 0;
    ::SendMessageW(native, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 5u);
    EXPECT_EQ(end, 5u);
}

TEST_F(EditTest, AttributesBecomeNativeStyles)
{
    ASSERT_TRUE(window.Load(Skin(L"text=\"42\" numberonly=\"true\" password=\"true\" readonly=\"true\" "
                                 L"autoselall=\"true\" align=\"right\" maxchar=\"6\"")
                                .c_str()));
    auto* edit = window.Find<CEditUI>(L"edit");
    edit->SetFocus();
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(native, nullptr);
    LONG_PTR style = ::GetWindowLongPtrW(native, GWL_STYLE);
    EXPECT_TRUE(style & ES_NUMBER);
    EXPECT_TRUE(style & ES_PASSWORD);
    EXPECT_TRUE(style & ES_RIGHT);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_EQ(::SendMessageW(native, EM_GETPASSWORDCHAR, 0, 0), L'*');
    EXPECT_EQ(::SendMessageW(native, EM_GETLIMITTEXT, 0, 0), 6);
    DWORD start = 9, end = 9;
    ::SendMessageW(native, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u) << "autoselall selects everything";
    EXPECT_EQ(end, 2u);
}

TEST_F(EditTest, TypingCopiesTheTextAndNotifiesUpToMaxChar)
{
    ASSERT_TRUE(window.Load(Skin(L"maxchar=\"10\"").c_str()));
    auto* edit = window.Find<CEditUI>(L"edit");
    edit->SetFocus();
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(native, nullptr);

    Type(native, L"abc");
    EXPECT_EQ(std::wstring(edit->GetText()), L"abc");
    EXPECT_EQ(window.Count(L"textchanged", L"edit"), 3);

    Type(native, L"defghijklm");
    EXPECT_EQ(std::wstring(edit->GetText()), L"abcdefghij") << "maxchar 10 stops the eleventh character";
    EXPECT_EQ(window.Count(L"textchanged", L"edit"), 10);

    // Backspace edits too.
    Type(native, L"\b");
    EXPECT_EQ(std::wstring(edit->GetText()), L"abcdefghi");
}

TEST_F(EditTest, EnterSendsReturnAndTypesNothing)
{
    ASSERT_TRUE(window.Load(Skin(L"text=\"x\"").c_str()));
    auto* edit = window.Find<CEditUI>(L"edit");
    edit->SetFocus();
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(native, nullptr);
    ::SendMessageW(native, WM_CHAR, VK_RETURN, 1);
    EXPECT_EQ(window.Count(L"return", L"edit"), 1);
    EXPECT_EQ(window.Count(L"textchanged"), 0);
    EXPECT_EQ(std::wstring(edit->GetText()), L"x");
}

TEST_F(EditTest, LosingTheFocusClosesTheWindowAndKeepsTheText)
{
    ASSERT_TRUE(window.Load(Skin(L"").c_str()));
    auto* edit = window.Find<CEditUI>(L"edit");
    edit->SetFocus();
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(native, nullptr);
    Type(native, L"kept");

    // A click on the button moves the focus there.
    window.Click(50, 115);
    window.Pump();
    EXPECT_FALSE(::IsWindow(native));
    EXPECT_EQ(edit->GetNativeWindow(), nullptr);
    EXPECT_FALSE(edit->IsFocused());
    EXPECT_EQ(std::wstring(edit->GetText()), L"kept");
    EXPECT_EQ(window.Count(L"killfocus", L"edit"), 1);

    // A click on the edit opens it again, with the kept text.
    window.Click(100, 30);
    window.Pump();
    native = edit->GetNativeWindow();
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(NativeText(native), L"kept");

    // Hiding the control while editing takes the keyboard from the window.
    edit->SetVisible(false);
    window.Pump();
    EXPECT_FALSE(::IsWindow(native));
    EXPECT_EQ(edit->GetNativeWindow(), nullptr);
}

TEST_F(EditTest, NativeWindowFollowsTheControl)
{
    ASSERT_TRUE(window.Load(Skin(L"text=\"x\" textpadding=\"0,0,0,0\"").c_str()));
    auto* edit = window.Find<CEditUI>(L"edit");
    edit->SetFocus();
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(ClientRectIn(native, window.GetHWND()).left, 10);
    // A new layout moves the control while editing; the window goes along.
    edit->SetFixedXY(SIZE{40, 10});
    window.manager.PaintNow();
    EXPECT_EQ(edit->GetPos().left, 40);
    EXPECT_EQ(ClientRectIn(native, window.GetHWND()).left, 40);
    EXPECT_EQ(edit->GetNativeWindow(), native);
}

TEST_F(EditTest, SettingTheTextWhileEditingReachesTheNativeWindow)
{
    ASSERT_TRUE(window.Load(Skin(std::wstring(L"text=\"") + kHint + L"\"").c_str()));
    auto* edit = window.Find<CEditUI>(L"edit");
    // What the name window does on "setfocus": the hint gives way.
    edit->SetFocus();
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(NativeText(native), kHint);
    edit->SetText(L"");
    EXPECT_EQ(NativeText(native), L"");
    Type(native, L"盒子");
    EXPECT_EQ(std::wstring(edit->GetText()), L"盒子");
}

TEST_F(EditTest, ChineseHintRoundTrips)
{
    ASSERT_TRUE(window.Load(Skin(std::wstring(L"maxchar=\"10\" text=\"") + kHint + L"\"").c_str()));
    auto* edit = window.Find<CEditUI>(L"edit");
    EXPECT_EQ(std::wstring(edit->GetText()), kHint);
    edit->SetFocus();
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(NativeText(native), kHint);
    // Ten characters already: the limit holds for Chinese too.
    Type(native, L"名");
    EXPECT_EQ(std::wstring(edit->GetText()), kHint);

    window.manager.SetFocusTo(window.Find(L"button"));
    window.Pump();
    EXPECT_EQ(edit->GetNativeWindow(), nullptr);
    EXPECT_EQ(std::wstring(edit->GetText()), kHint);
}

TEST_F(EditTest, CentreAlignmentCentresPaintedAndNativeText)
{
    ASSERT_TRUE(window.Load(Skin(L"text=\"mmmm\" align=\"center\"").c_str()));
    auto* edit = window.Find<CEditUI>(L"edit");

    // Painted: the ink sits in the middle of the 200 pixels (10..210).
    Snapshot shot(window.manager, 400, 200);
    RECT area = {10, 10, 210, 50};
    auto ink = shot.InkColumns(area, 0xFFFFFF);
    ASSERT_GE(ink.first, 0);
    const int leftGap = ink.first - 10;
    const int rightGap = 209 - ink.second;
    EXPECT_GT(leftGap, 50);
    EXPECT_NEAR(leftGap, rightGap, 3);

    // Native: centred style, and the first character starts well inside.
    edit->SetFocus();
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(native, nullptr);
    EXPECT_TRUE(::GetWindowLongPtrW(native, GWL_STYLE) & ES_CENTER);
    LRESULT first = ::SendMessageW(native, EM_POSFROMCHAR, 0, 0);
    RECT client;
    ::GetClientRect(native, &client);
    EXPECT_GT(static_cast<short>(LOWORD(first)), client.right / 4);
}

TEST_F(EditTest, PasswordPaintsTheMask)
{
    const RECT area = {10, 10, 210, 50};
    ASSERT_TRUE(window.Load(Skin(L"text=\"abc\" password=\"true\"").c_str()));
    Snapshot masked(window.manager, 400, 200);
    EXPECT_EQ(std::wstring(window.Find<CEditUI>(L"edit")->GetText()), L"abc");
    ASSERT_TRUE(window.Load(Skin(L"text=\"***\"").c_str()));
    Snapshot stars(window.manager, 400, 200);
    ASSERT_TRUE(window.Load(Skin(L"text=\"abc\"").c_str()));
    Snapshot plain(window.manager, 400, 200);
    EXPECT_GT(masked.CountOtherThan(area, 0xFFFFFF), 0);
    EXPECT_TRUE(masked.SameAs(stars, area));
    EXPECT_FALSE(masked.SameAs(plain, area));
}

TEST_F(EditTest, NativeBackgroundBrushes)
{
    auto brushOf = [this](HWND native) {
        HDC dc = ::GetDC(native);
        auto brush = reinterpret_cast<HBRUSH>(
            window.Send(WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(native)));
        ::ReleaseDC(native, dc);
        return brush;
    };
    ASSERT_TRUE(window.Load(Skin(L"").c_str()));
    window.Find<CEditUI>(L"edit")->SetFocus();
    EXPECT_EQ(brushOf(window.Find<CEditUI>(L"edit")->GetNativeWindow()), ::GetSysColorBrush(COLOR_WINDOW));

    ASSERT_TRUE(window.Load(Skin(L"nativebkcolor=\"#FF1d2928\"").c_str()));
    window.Find<CEditUI>(L"edit")->SetFocus();
    LOGBRUSH info = {};
    ASSERT_TRUE(::GetObjectW(brushOf(window.Find<CEditUI>(L"edit")->GetNativeWindow()), sizeof(info), &info));
    EXPECT_EQ(info.lbStyle, static_cast<UINT>(BS_SOLID));
    EXPECT_EQ(info.lbColor, RGB(0x1d, 0x29, 0x28));

    // Translucent: the skin under the edit (here the edit's own dark
    // background) becomes the pattern.
    ASSERT_TRUE(window.Load(Skin(L"nativebkcolor=\"#00FFFFFF\" bkcolor=\"#FF0B235D\"").c_str()));
    window.Find<CEditUI>(L"edit")->SetFocus();
    HBRUSH brush = brushOf(window.Find<CEditUI>(L"edit")->GetNativeWindow());
    ASSERT_TRUE(::GetObjectW(brush, sizeof(info), &info));
    EXPECT_EQ(info.lbStyle, static_cast<UINT>(BS_PATTERN));
    SkinUI::CMemoryDC dc(window.manager.GetPaintDC());
    SkinUI::CDibSection dib;
    ASSERT_TRUE(dib.Create(dc, 8, 8));
    SkinUI::CSelectObject select(dc, dib.Bitmap());
    RECT all = {0, 0, 8, 8};
    ::FillRect(dc, &all, brush);
    ::GdiFlush();
    EXPECT_EQ(dib.Row(4)[4] & 0xFFFFFF, 0x0B235Du) << "the native window shows the dark blue";
}

TEST_F(EditTest, LayeredWindowPrintsTheNativeEditWithItsOwnCaret)
{
    ASSERT_TRUE(window.Load(Skin(L"text=\"WWW\"").c_str(), true));
    auto* edit = window.Find<CEditUI>(L"edit");
    edit->SetFocus();
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(native, nullptr);
    window.manager.PaintNow();

    const SkinUI::CDibSection& buffer = window.manager.GetLayeredBuffer();
    ASSERT_NE(buffer.Pixels(), nullptr);
    RECT rect = ClientRectIn(native, window.GetHWND());
    int opaqueDark = 0;
    int transparent = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            DWORD pixel = buffer.Row(y)[x];
            if ((pixel >> 24) != 0xFF) ++transparent;
            else if ((pixel & 0xFF) < 0x80) ++opaqueDark;
        }
    }
    EXPECT_EQ(transparent, 0) << "what the child printed is opaque, black text included";
    EXPECT_GT(opaqueDark, 10) << "the text is in the buffer";
    // The caret blinks on the native window's timer 20.
    EXPECT_TRUE(::KillTimer(native, SkinUI::CEditWnd::kCaretTimerId));
}

TEST_F(EditTest, TheEditIsATabStopAndTheFirstPaintFocusesIt)
{
    ASSERT_TRUE(window.Load(Skin(L"text=\"hello\"").c_str(), false, true));
    auto* edit = window.Find<CEditUI>(L"edit");
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(native, nullptr) << "the edit comes first in reading order";
    EXPECT_EQ(::GetFocus(), native);
    EXPECT_EQ(window.manager.GetFocus(), edit);

    // Tab leaves the field for the button and comes back round to it.
    ::PostMessageW(native, WM_KEYDOWN, VK_TAB, 0);
    window.Pump();
    EXPECT_EQ(window.manager.GetFocus(), window.Find(L"button"));
    EXPECT_FALSE(::IsWindow(native));
    ::PostMessageW(window.GetHWND(), WM_KEYDOWN, VK_TAB, 0);
    window.Pump();
    EXPECT_EQ(window.manager.GetFocus(), edit);
    EXPECT_NE(edit->GetNativeWindow(), nullptr);

    // Disabled, it is passed over.
    edit->SetEnabled(false);
    window.Pump();
    window.manager.MoveFocusToTabStop(true);
    window.manager.MoveFocusToTabStop(true);
    EXPECT_EQ(window.manager.GetFocus(), window.Find(L"button"));
}

TEST_F(EditTest, ALayeredWindowGoesOnPaintingOutsideAPrintedEdit)
{
    // Printing the native child into the layered buffer once must not
    // leave its clip region in the buffer's DC: every later paint of the
    // window would be cut to the edit.
    ASSERT_TRUE(window.Load(Skin(L"text=\"WWW\"").c_str(), true));
    auto* edit = window.Find<CEditUI>(L"edit");
    edit->SetFocus();
    ASSERT_NE(edit->GetNativeWindow(), nullptr);
    window.manager.PaintNow();
    window.Find(L"button")->SetBkColor(0xFFFF0000);
    window.manager.PaintNow();
    EXPECT_EQ(window.manager.GetLayeredBuffer().Row(115)[15], 0xFFFF0000u);
}

TEST_F(EditTest, NothingLeaksOverAHundredEditSessions)
{
    // GetGuiResources counts on Windows; Wine 8 answers 0 for both kinds.
    // So each session's own brush and window are also checked to be gone,
    // and the thread's windows are counted.
    auto counts = [] {
        return std::make_pair(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS),
                              ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS));
    };
    auto windows = [] {
        int count = 0;
        ::EnumThreadWindows(::GetCurrentThreadId(), CountWindowAndChildren, reinterpret_cast<LPARAM>(&count));
        return count;
    };
    // A new tree each time, so the controls go too; the pattern brush is
    // the costliest thing an edit session makes.
    auto session = [this] {
        ASSERT_TRUE(window.Load(Skin(L"nativebkcolor=\"#80FFFFFF\" bkcolor=\"#FF0B235D\"").c_str()));
        auto* edit = window.Find<CEditUI>(L"edit");
        edit->SetFocus();
        HWND native = edit->GetNativeWindow();
        ASSERT_NE(native, nullptr);
        Type(native, L"name");
        HDC dc = ::GetDC(native);
        auto brush = reinterpret_cast<HBRUSH>(
            window.Send(WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(native)));
        ::ReleaseDC(native, dc);
        ASSERT_EQ(::GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
        ::RedrawWindow(native, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        window.Click(50, 115);
        window.Pump();
        EXPECT_FALSE(::IsWindow(native));
        EXPECT_EQ(::GetObjectType(brush), 0u) << "the pattern brush is deleted with the window";
    };
    // One session first: classes, fonts and the like are made once.
    session();
    const auto before = counts();
    const int windowsBefore = windows();
    for (int i = 0; i < 100 && !HasFatalFailure(); ++i) session();
    const auto after = counts();
    EXPECT_LE(after.first, before.first + 2) << "GDI objects";
    EXPECT_LE(after.second, before.second + 2) << "USER objects";
    EXPECT_EQ(windows(), windowsBefore);
}

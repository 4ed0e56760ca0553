// The rich edit: the engine from msftedit.dll behind it, the prompt window's
// read-only and disabled display, text replacement, typing, the Enter and
// Tab rules, and its text in the painted buffer.
#include <gtest/gtest.h>

#include <string>

#include "TextTestWindow.h"
#include "ui/controls/RichEditUI.h"

using SkinUI::CRichEditUI;
using text_test::Snapshot;
using text_test::TextTestWindow;

namespace {

std::wstring Skin(const std::wstring& attributes)
{
    return L"<Window><VerticalLayout bkcolor=\"#FFFFFFFF\">"
           L"<RichEdit name=\"rich\" float=\"true\" pos=\"20,20,220,90\" textcolor=\"#FF000000\" " +
           attributes +
           L" />"
           L"<Button name=\"button\" float=\"true\" pos=\"10,150,110,180\" text=\"ok\" />"
           L"</VerticalLayout></Window>";
}

class RichEditTest : public ::testing::Test {
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

    CRichEditUI* Load(const std::wstring& attributes, bool layered = false)
    {
        if (!window.Load(Skin(attributes).c_str(), layered)) return nullptr;
        auto* rich = window.Find<CRichEditUI>(L"rich");
        return rich != nullptr && rich->HasEngine() ? rich : nullptr;
    }

    // A key as the modal loop delivers it: key down, its character, key up.
    void Key(WPARAM key, wchar_t ch)
    {
        window.Send(WM_KEYDOWN, key, 1);
        if (ch != 0) window.Send(WM_CHAR, ch, 1);
        window.Send(WM_KEYUP, key, 0xC0000001);
    }

    void Type(const wchar_t* text)
    {
        for (const wchar_t* p = text; *p != L'\0'; ++p) window.Send(WM_CHAR, *p, 1);
    }

    static TextTestWindow* s_window;
    TextTestWindow& window = *s_window;
};

TextTestWindow* RichEditTest::s_window = nullptr;

}  // namespace

TEST_F(RichEditTest, PromptWindowTextIsShownAndCannotBeEdited)
{
    // As the prompt window has it.
    CRichEditUI* rich = Load(L"text=\"创建目录失败\" readonly=\"true\" enabled=\"false\" textcolor=\"#ff97f9f4\"");
    ASSERT_NE(rich, nullptr) << "the engine of msftedit.dll is there";
    EXPECT_STREQ(rich->ClassName(), L"RichEdit");
    EXPECT_EQ(std::wstring(rich->GetText()), L"创建目录失败");
    EXPECT_TRUE(rich->GetStyle() & ES_MULTILINE);

    // It cannot take the focus, by tab, by click or by asking.
    rich->SetFocus();
    EXPECT_EQ(window.manager.GetFocus(), nullptr);
    window.Click(50, 40);
    EXPECT_NE(window.manager.GetFocus(), rich);
    window.manager.MoveFocusToTabStop(true);
    EXPECT_NE(window.manager.GetFocus(), rich);

    // So no key reaches it.
    Type(L"abc");
    Key(VK_DELETE, 0);
    Key(VK_BACK, L'\b');
    EXPECT_EQ(std::wstring(rich->GetText()), L"创建目录失败");
    EXPECT_EQ(window.Count(L"textchanged"), 0);

    // The program still sets the message.
    rich->SetText(L"另一条消息");
    EXPECT_EQ(std::wstring(rich->GetText()), L"另一条消息");
}

TEST_F(RichEditTest, SetTextReplacesTheWholeContent)
{
    CRichEditUI* rich = Load(L"text=\"first line\"");
    ASSERT_NE(rich, nullptr);
    rich->SetText(L"second");
    EXPECT_EQ(std::wstring(rich->GetText()), L"second");
    EXPECT_GE(window.Count(L"textchanged", L"rich"), 1);
    rich->SetText(L"");
    EXPECT_EQ(std::wstring(rich->GetText()), L"");
}

TEST_F(RichEditTest, TypingWhileFocusedChangesTheText)
{
    CRichEditUI* rich = Load(L"");
    ASSERT_NE(rich, nullptr);
    rich->SetFocus();
    ASSERT_EQ(window.manager.GetFocus(), rich);
    Type(L"hi");
    EXPECT_EQ(std::wstring(rich->GetText()), L"hi");
    EXPECT_GE(window.Count(L"textchanged", L"rich"), 2);

    // Read-only: focused, but the keys change nothing.
    rich->SetReadOnly(true);
    Type(L"x");
    EXPECT_EQ(std::wstring(rich->GetText()), L"hi");
}

TEST_F(RichEditTest, EnterSendsReturnUnlessTheBoxWantsIt)
{
    CRichEditUI* rich = Load(L"text=\"a\"");
    ASSERT_NE(rich, nullptr);
    rich->SetFocus();
    Key(VK_RETURN, L'\r');
    EXPECT_EQ(window.Count(L"return", L"rich"), 1);
    EXPECT_EQ(std::wstring(rich->GetText()), L"a") << "swallowed, character and all";

    rich = Load(L"text=\"a\" wantreturn=\"true\"");
    ASSERT_NE(rich, nullptr);
    rich->SetFocus();
    ASSERT_EQ(window.manager.GetFocus(), rich);
    rich->SetText(L"a");
    window.notes.clear();
    Key(VK_END, 0);
    Key(VK_RETURN, L'\r');
    EXPECT_EQ(window.Count(L"return"), 0);
    EXPECT_NE(std::wstring(rich->GetText()), L"a") << "the engine broke the line";
}

TEST_F(RichEditTest, TabMovesTheFocusUnlessTheBoxWantsIt)
{
    CRichEditUI* rich = Load(L"");
    ASSERT_NE(rich, nullptr);
    rich->SetFocus();
    MSG tab = {window.GetHWND(), WM_KEYDOWN, VK_TAB, 1};
    EXPECT_TRUE(SkinUI::CUIManager::PreTranslateMessage(&tab));
    EXPECT_EQ(window.manager.GetFocus(), window.Find(L"button"));

    rich = Load(L"wanttab=\"true\"");
    ASSERT_NE(rich, nullptr);
    rich->SetFocus();
    EXPECT_FALSE(SkinUI::CUIManager::PreTranslateMessage(&tab));
    EXPECT_EQ(window.manager.GetFocus(), rich);
}

TEST_F(RichEditTest, TextIsInThePaintedBuffer)
{
    CRichEditUI* rich = Load(L"text=\"Visible text\" readonly=\"true\" enabled=\"false\"");
    ASSERT_NE(rich, nullptr);
    Snapshot shot(window.manager, 400, 200);
    RECT area = {20, 20, 220, 90};
    EXPECT_GT(shot.CountOtherThan(area, 0xFFFFFF), 20);
    RECT outside = {230, 20, 390, 90};
    EXPECT_EQ(shot.CountOtherThan(outside, 0xFFFFFF), 0);

    // Nothing painted for an empty box.
    rich->SetText(L"");
    Snapshot empty(window.manager, 400, 200);
    EXPECT_EQ(empty.CountOtherThan(area, 0xFFFFFF), 0);
}

TEST_F(RichEditTest, LayeredWindowGetsOpaqueTextAndACaretTimer)
{
    CRichEditUI* rich = Load(L"text=\"Layered\"", true);
    ASSERT_NE(rich, nullptr);
    window.manager.PaintNow();
    const SkinUI::CDibSection& buffer = window.manager.GetLayeredBuffer();
    ASSERT_NE(buffer.Pixels(), nullptr);
    int opaqueDark = 0;
    for (int y = 20; y < 90; ++y) {
        for (int x = 20; x < 220; ++x) {
            DWORD pixel = buffer.Row(y)[x];
            if ((pixel >> 24) == 0xFF && (pixel & 0xFF) < 0x80) ++opaqueDark;
        }
    }
    EXPECT_GT(opaqueDark, 10) << "the engine's black text is opaque in the layered buffer";
    EXPECT_NE(window.manager.GetSystemTimerId(rich, CRichEditUI::kCaretTimerId), 0u);
}

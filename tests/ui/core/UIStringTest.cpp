#include <gtest/gtest.h>

#include <string>

#include "ui/core/UIString.h"

using SkinUI::CUIString;

TEST(UIString, GrowsPastTheInlineBufferAndKeepsContent)
{
    CUIString s;
    std::wstring expected;
    for (int i = 0; i < 200; ++i) {
        wchar_t ch = static_cast<wchar_t>(L'a' + i % 26);
        s += ch;
        expected += ch;
        ASSERT_EQ(s.GetLength(), i + 1);
    }
    EXPECT_EQ(std::wstring(s.GetData()), expected);

    CUIString copy(s);
    CUIString moved(std::move(copy));
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_EQ(moved, s);

    CUIString shortOne(L"abc");
    CUIString target(s);
    target = std::move(shortOne);
    EXPECT_EQ(target, L"abc");
}

TEST(UIString, AppendingItselfAndAssigningFromItsOwnBuffer)
{
    CUIString s(L"0123456789");
    for (int i = 0; i < 4; ++i) s += s;  // 160 characters, reallocating from its own buffer
    EXPECT_EQ(s.GetLength(), 160);
    EXPECT_EQ(s.Right(10), L"0123456789");

    s.Assign(s.GetData() + 150);
    EXPECT_EQ(s, L"0123456789");
}

TEST(UIString, SearchAndExtraction)
{
    CUIString s(L"C:\\Program Files\\Box\\");
    EXPECT_EQ(s.Find(L'\\'), 2);
    EXPECT_EQ(s.Find(L'\\', 3), 16);
    EXPECT_EQ(s.Find(L"Box"), 17);
    EXPECT_EQ(s.Find(L"Box", 18), -1);
    EXPECT_EQ(s.Find(L'x', 500), -1);
    EXPECT_EQ(s.Find(L'x', -3), -1);
    EXPECT_EQ(s.ReverseFind(L'\\'), s.GetLength() - 1);
    EXPECT_EQ(s.Mid(3, 7), L"Program");
    EXPECT_EQ(s.Mid(17), L"Box\\");
    EXPECT_EQ(s.Mid(100), L"");
    EXPECT_EQ(s.Left(100), s);
    EXPECT_EQ(s.Right(-1), L"");
    EXPECT_EQ(s.GetAt(100), L'\0');

    CUIString r(L"a-b-c");
    EXPECT_EQ(r.Replace(L"-", L"--"), 2);
    EXPECT_EQ(r, L"a--b--c");
}

TEST(UIString, CompareAndCase)
{
    CUIString s(L"Button");
    EXPECT_EQ(s.CompareNoCase(L"BUTTON"), 0);
    EXPECT_NE(s.Compare(L"BUTTON"), 0);
    EXPECT_LT(s.CompareNoCase(L"buttons"), 0);
    s.MakeLower();
    EXPECT_EQ(s, L"button");
    CUIString t(L"  My Box \t");
    t.Trim();
    EXPECT_EQ(t, L"My Box");
}

TEST(UIString, FormatHandlesLongOutput)
{
    CUIString s;
    EXPECT_EQ(s.Format(L"%d%%", 37), 3);
    EXPECT_EQ(s, L"37%");
    std::wstring longText(5000, L'x');
    EXPECT_EQ(s.Format(L"[%ls]", longText.c_str()), 5002);
    EXPECT_EQ(s.GetAt(5001), L']');
}

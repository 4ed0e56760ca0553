#include <gtest/gtest.h>

#include "windows/BoxName.h"

TEST(BoxName, AcceptsLettersDigitsSpacesAndCommonChinese)
{
    EXPECT_TRUE(IsValidBoxName(L"Box2019"));
    EXPECT_TRUE(IsValidBoxName(L"我的盒子"));
    EXPECT_TRUE(IsValidBoxName(L"My Box"));
    EXPECT_TRUE(IsValidBoxName(L"一"));
    EXPECT_TRUE(IsValidBoxName(L"\u9FA5"));
    EXPECT_TRUE(IsValidBoxName(L"0123456789x") == false);  // eleven
    EXPECT_TRUE(IsValidBoxName(L"abcdefghij"));          // ten
    EXPECT_TRUE(IsValidBoxName(L"1 2"));                 // a space makes it not digits only
}

TEST(BoxName, RefusesDigitsOnlyTooLongAndForeignCharacters)
{
    EXPECT_FALSE(IsValidBoxName(L"2019"));
    EXPECT_FALSE(IsValidBoxName(L""));
    EXPECT_FALSE(IsValidBoxName(L"abcdefghijk"));
    for (const wchar_t* bad : {L"Box!", L"my_box", L"Ｂox", L"盒\u9FA6", L"\u3400", L"a\tb", L"Box.", L"😀"})
        EXPECT_FALSE(IsValidBoxName(bad)) << static_cast<unsigned>(bad[0]);
}

TEST(BoxName, TrimsOnlyTheSpaceCharacter)
{
    EXPECT_EQ(TrimBoxName(L"  Box  "), L"Box");
    EXPECT_EQ(TrimBoxName(L"   "), L"");
    EXPECT_EQ(TrimBoxName(L"My Box"), L"My Box");
    EXPECT_EQ(TrimBoxName(L"\tBox "), L"\tBox");
    EXPECT_FALSE(IsValidBoxName(TrimBoxName(L"    ")));
}

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

TEST(BoxName, RefusesNamesWindowsKeepsForDevices)
{
    // The name becomes C:\Program Files\<name>\ and <name>.exe: for these
    // Windows opens a device, in any folder and with any extension.
    for (const wchar_t* device : {L"CON", L"con", L"Prn", L"AUX", L"nul", L"COM1", L"lpt1", L"LPT9", L"com0"})
        EXPECT_FALSE(IsValidBoxName(device)) << static_cast<unsigned>(device[0]);
    for (const wchar_t* fine : {L"CON2", L"COM10", L"Console", L"my con", L"LPT", L"Auxiliary", L"盒子CON"})
        EXPECT_TRUE(IsValidBoxName(fine)) << static_cast<unsigned>(fine[0]);
}

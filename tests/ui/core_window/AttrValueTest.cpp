#include <gtest/gtest.h>

#include "ui/core/AttrValue.h"

using namespace SkinUI::AttrValue;

TEST(AttrValue, NumberListsReadAsFarAsTheyGo)
{
    long n[4];
    EXPECT_EQ(ToNumbers(L"508,201,1,1", n, 4), 4);
    EXPECT_EQ(n[0], 508);
    EXPECT_EQ(n[3], 1);

    // One separator character of any kind; missing numbers are 0 and the
    // reader never steps past the end of the text.
    EXPECT_EQ(ToNumbers(L"240,20 300,20", n, 4), 4);
    EXPECT_EQ(n[2], 300);
    EXPECT_EQ(ToNumbers(L"22,6", n, 4), 2);
    EXPECT_EQ(n[1], 6);
    EXPECT_EQ(n[2], 0);
    EXPECT_EQ(n[3], 0);
    EXPECT_EQ(ToNumbers(L"1,,3", n, 4), 2);
    EXPECT_EQ(n[1], 0);
    EXPECT_EQ(n[2], 3);
    EXPECT_EQ(ToNumbers(L"-4,x", n, 2), 1);
    EXPECT_EQ(n[0], -4);
    EXPECT_EQ(ToNumbers(L"", n, 4), 0);
    EXPECT_EQ(ToNumbers(nullptr, n, 4), 0);
}

TEST(AttrValue, ColoursAndBooleans)
{
    EXPECT_EQ(ToColor(L"#FF127EA2"), 0xFF127EA2u);
    EXPECT_EQ(ToColor(L"ff00dcc8"), 0xFF00DCC8u);
    EXPECT_EQ(ToColor(L"  #80FFFFFF"), 0x80FFFFFFu);  // bkcolor3 may start with spaces
    EXPECT_EQ(ToColor(L"#"), 0u);
    EXPECT_EQ(ToColor(L"0x12"), 0u);  // no C prefixes
    EXPECT_EQ(ToColor(L"FFFFFFFFFF"), 0xFFFFFFFFu);

    EXPECT_TRUE(IsTrue(L"true"));
    EXPECT_FALSE(IsTrue(L"TRUE"));
    EXPECT_FALSE(IsTrue(L"1"));
    EXPECT_FALSE(IsTrue(nullptr));
    EXPECT_TRUE(IsTrueNoCase(L"True"));
    EXPECT_TRUE(EqualsNoCase(L"verticalLayout", L"VERTICALLAYOUT"));
    EXPECT_FALSE(EqualsNoCase(L"VBox", L"VBoxes"));
}

#include <gtest/gtest.h>

#include <string>

#include "ui/markup/AttrList.h"

namespace {

std::wstring Pairs(const wchar_t* list)
{
    std::wstring out;
    for (const SkinUI::AttrPair& pair : SkinUI::ParseAttrList(list)) {
        out += pair.name.GetData();
        out += L"=";
        out += pair.value.GetData();
        out += L";";
    }
    return out;
}

}  // namespace

TEST(AttrList, PairsInOrder)
{
    EXPECT_EQ(Pairs(L"bkcolor=\"#FF000000\" text=\"a b\" pos=\"1,2,3,4\""),
              L"bkcolor=#FF000000;text=a b;pos=1,2,3,4;");
    EXPECT_EQ(Pairs(L"normalimage=\"res='1' restype='png'\""), L"normalimage=res='1' restype='png';");
    EXPECT_EQ(Pairs(L"a=\"\""), L"a=;");
    EXPECT_EQ(Pairs(L""), L"");
    EXPECT_EQ(Pairs(nullptr), L"");
}

TEST(AttrList, StopsAtTheFirstDeviationKeepingEarlierPairs)
{
    EXPECT_EQ(Pairs(L"a=\"1\"  b=\"2\""), L"a=1;");      // two spaces
    EXPECT_EQ(Pairs(L"a=\"1\"b=\"2\""), L"a=1;");        // no space
    EXPECT_EQ(Pairs(L"a=\"1\"\tb=\"2\""), L"a=1;");      // not a space
    EXPECT_EQ(Pairs(L"a=\"1\" b =\"2\""), L"a=1;");      // space before "="
    EXPECT_EQ(Pairs(L"a=\"1\" b= \"2\""), L"a=1;");      // "=" not followed by a quote
    EXPECT_EQ(Pairs(L"a=\"1\" b='2'"), L"a=1;");         // single quotes
    EXPECT_EQ(Pairs(L"a=\"1\" b=\"2"), L"a=1;");         // unclosed value
    EXPECT_EQ(Pairs(L"a=\"1\" b"), L"a=1;");             // no "="
    EXPECT_EQ(Pairs(L"a=\"1\" =\"2\" c=\"3\""), L"a=1;");  // no name
    EXPECT_EQ(Pairs(L"a=\"1\" "), L"a=1;");
}

TEST(AttrList, NamesKeepTheirCase)
{
    EXPECT_EQ(Pairs(L"Text=\"x\" text=\"y\""), L"Text=x;text=y;");
}

// The inline markup of labels and text controls: styles, colours, fonts,
// links and line breaks, and text that only looks like markup.
#include <gtest/gtest.h>

#include <string>

#include "ui/controls/InlineMarkup.h"

using SkinUI::InlinePlainText;
using SkinUI::ParseInlineMarkup;
using SkinUI::TInlineRun;
using SkinUI::TInlineText;

namespace {

std::wstring Text(const TInlineRun& run) { return run.text.GetData(); }

std::wstring Plain(const wchar_t* markup) { return InlinePlainText(ParseInlineMarkup(markup)).GetData(); }

}  // namespace

TEST(InlineMarkupTest, StylesNestAndCloseInnermostFirst)
{
    TInlineText text = ParseInlineMarkup(L"a{b}b{i}bi{/b}i{/i}{u}u{/u}");
    ASSERT_EQ(text.runs.size(), 5u);
    EXPECT_EQ(Text(text.runs[0]), L"a");
    EXPECT_FALSE(text.runs[0].bold);
    EXPECT_EQ(Text(text.runs[1]), L"b");
    EXPECT_TRUE(text.runs[1].bold);
    EXPECT_FALSE(text.runs[1].italic);
    EXPECT_EQ(Text(text.runs[2]), L"bi");
    EXPECT_TRUE(text.runs[2].bold && text.runs[2].italic);
    EXPECT_EQ(Text(text.runs[3]), L"i");
    EXPECT_TRUE(!text.runs[3].bold && text.runs[3].italic);
    EXPECT_EQ(Text(text.runs[4]), L"u");
    EXPECT_TRUE(text.runs[4].underline && !text.runs[4].italic);

    // A bold inside a bold ends with the second closing tag.
    text = ParseInlineMarkup(L"{b}x{b}y{/b}z{/b}w");
    ASSERT_EQ(text.runs.size(), 2u);
    EXPECT_EQ(Text(text.runs[0]), L"xyz");
    EXPECT_TRUE(text.runs[0].bold);
    EXPECT_EQ(Text(text.runs[1]), L"w");
    EXPECT_FALSE(text.runs[1].bold);

    // Styles that change nothing merge the neighbours; open tags run to the
    // end.
    text = ParseInlineMarkup(L"ab{b}{/b}cd{i}ef");
    ASSERT_EQ(text.runs.size(), 2u);
    EXPECT_EQ(Text(text.runs[0]), L"abcd");
    EXPECT_TRUE(text.runs[1].italic);
}

TEST(InlineMarkupTest, ColoursAndFonts)
{
    TInlineText text = ParseInlineMarkup(L"{c=#FF102030}a{c=80FFFFFF}b{/c}c{/c}{c=00FF00}d{/c}{f=3}e{f=12}f{/f}{/f}");
    ASSERT_EQ(text.runs.size(), 6u);
    EXPECT_TRUE(text.runs[0].hasColor);
    EXPECT_EQ(text.runs[0].color, 0xFF102030u);
    EXPECT_EQ(text.runs[1].color, 0x80FFFFFFu);
    EXPECT_EQ(Text(text.runs[2]), L"c");
    EXPECT_EQ(text.runs[2].color, 0xFF102030u) << "the outer colour comes back";
    EXPECT_EQ(text.runs[3].color, 0xFF00FF00u) << "six digits are opaque";
    EXPECT_EQ(text.runs[4].font, 3);
    EXPECT_FALSE(text.runs[4].hasColor);
    EXPECT_EQ(text.runs[5].font, 12);
    EXPECT_EQ(text.runs[0].font, -1);
}

TEST(InlineMarkupTest, LinksAreNumberedInOrderWithTheirTargets)
{
    TInlineText text = ParseInlineMarkup(L"see {a=http://x/}the {b}site{/b}{/a} or {a}mail{/a}.");
    ASSERT_EQ(text.linkTargets.size(), 2u);
    EXPECT_EQ(std::wstring(text.linkTargets[0].GetData()), L"http://x/");
    EXPECT_EQ(std::wstring(text.linkTargets[1].GetData()), L"");
    ASSERT_EQ(text.runs.size(), 6u);
    EXPECT_EQ(text.runs[0].link, -1);
    EXPECT_EQ(Text(text.runs[1]), L"the ");
    EXPECT_EQ(text.runs[1].link, 0);
    EXPECT_EQ(Text(text.runs[2]), L"site");
    EXPECT_EQ(text.runs[2].link, 0);
    EXPECT_TRUE(text.runs[2].bold);
    EXPECT_EQ(text.runs[3].link, -1);
    EXPECT_EQ(Text(text.runs[4]), L"mail");
    EXPECT_EQ(text.runs[4].link, 1);

    // No link inside a link: the inner tag is text.
    EXPECT_EQ(Plain(L"{a}x{a}y{/a}z{/a}"), L"x{a}yz{/a}");
}

TEST(InlineMarkupTest, LineBreaksAndChinese)
{
    TInlineText text = ParseInlineMarkup(L"第一行{n}{n}{b}第三行{/b}");
    ASSERT_EQ(text.runs.size(), 4u);
    EXPECT_EQ(Text(text.runs[0]), L"第一行");
    EXPECT_TRUE(text.runs[1].lineBreak);
    EXPECT_TRUE(text.runs[2].lineBreak);
    EXPECT_EQ(Text(text.runs[3]), L"第三行");
    EXPECT_EQ(Plain(L"第一行{n}{n}{b}第三行{/b}"), L"第一行\n\n第三行");
}

TEST(InlineMarkupTest, WhatIsNotMarkupStaysAsWritten)
{
    EXPECT_EQ(Plain(L"{{b}}"), L"{b}}") << "a doubled brace is one brace";
    EXPECT_EQ(Plain(L"C:\\{x} 100{%} {"), L"C:\\{x} 100{%} {");
    EXPECT_EQ(Plain(L"{/b}{/c}{/f}{/a}"), L"{/b}{/c}{/f}{/a}") << "closing nothing";
    EXPECT_EQ(Plain(L"{c=red}x{/c}"), L"{c=red}x{/c}") << "a colour must be hex";
    EXPECT_EQ(Plain(L"{c=#12345}x"), L"{c=#12345}x") << "of six or eight digits";
    EXPECT_EQ(Plain(L"{f=99999}x{f=}y"), L"{f=99999}x{f=}y");
    EXPECT_EQ(Plain(L"{B}x{/B}"), L"{B}x{/B}") << "tags are lower case";
    EXPECT_EQ(Plain(L"open {b"), L"open {b");
    EXPECT_EQ(Plain(L""), L"");
    EXPECT_TRUE(ParseInlineMarkup(nullptr).runs.empty());
    EXPECT_TRUE(ParseInlineMarkup(L"{b}{/b}").runs.empty());
}

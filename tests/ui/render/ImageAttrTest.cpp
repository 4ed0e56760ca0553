#include <gtest/gtest.h>

#include "ui/render/ImageAttr.h"

using SkinUI::ImageDrawInfo;
using SkinUI::ImageLoadRequest;
using SkinUI::ImageRect;
using SkinUI::ParseImageAttr;

namespace {

::testing::AssertionResult RectIs(const ImageRect& rect, int left, int top, int right, int bottom)
{
    if (rect.left == left && rect.top == top && rect.right == right && rect.bottom == bottom)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
}

}  // namespace

TEST(ImageAttr, ResourcePictureWithStripAndTiling)
{
    ImageDrawInfo info;
    ImageLoadRequest request = ParseImageAttr(L"res='146' restype='png' source='560,0,565,69' xtiled='true'", info);
    EXPECT_EQ(request.name, L"146");
    EXPECT_EQ(request.type, L"png");
    EXPECT_TRUE(request.isResource);
    EXPECT_TRUE(RectIs(info.source, 560, 0, 565, 69));
    EXPECT_TRUE(info.xTiled);
    EXPECT_FALSE(info.yTiled);
    EXPECT_EQ(info.fade, 255);
    EXPECT_TRUE(info.dest.IsZero());
}

TEST(ImageAttr, EveryPairName)
{
    ImageDrawInfo info;
    ImageLoadRequest request = ParseImageAttr(
        L"file='bg.png' dest='1,2,3,4' corner='5,6,7,8' mask='#FFFF00FF' fade='128' hole='true' ytiled='true' "
        L"hsl='true'",
        info);
    EXPECT_EQ(request.name, L"bg.png");
    EXPECT_FALSE(request.isResource);
    EXPECT_EQ(request.mask, 0xFFFF00FFu);
    EXPECT_TRUE(request.keepUnadjusted);
    EXPECT_TRUE(RectIs(info.dest, 1, 2, 3, 4));
    EXPECT_TRUE(RectIs(info.corners, 5, 6, 7, 8));
    EXPECT_EQ(info.fade, 128);
    EXPECT_TRUE(info.hole);
    EXPECT_TRUE(info.yTiled);

    ImageDrawInfo nine;
    ParseImageAttr(L"scale9='4,4,4,4' hole='True' xtiled='1'", nine);
    EXPECT_TRUE(RectIs(nine.corners, 4, 4, 4, 4));
    EXPECT_FALSE(nine.hole);  // only the exact text "true"
    EXPECT_FALSE(nine.xTiled);

    ImageDrawInfo colour;
    request = ParseImageAttr(L"color='#8000FF00'", colour);
    EXPECT_EQ(request.name, L"#8000FF00");
    EXPECT_EQ(request.type, SkinUI::kColorImageType);
    EXPECT_TRUE(request.isResource);
}

TEST(ImageAttr, BareNamesAndCaseSensitivePairNames)
{
    ImageDrawInfo info;
    ImageLoadRequest request = ParseImageAttr(L"skin\\bg.png", info);
    EXPECT_EQ(request.name, L"skin\\bg.png");
    EXPECT_FALSE(request.isResource);

    request = ParseImageAttr(L"my picture.png", info);
    EXPECT_EQ(request.name, L"my picture.png");

    // A pair named Res is not "res": the whole string stays the name.
    request = ParseImageAttr(L"Res='146'", info);
    EXPECT_EQ(request.name, L"Res='146'");
    EXPECT_FALSE(request.isResource);

    request = ParseImageAttr(L"res='1' Fade='10' RESTYPE='png'", info);
    EXPECT_EQ(request.name, L"1");
    EXPECT_TRUE(request.type.IsEmpty());
    EXPECT_EQ(info.fade, 255);

    request = ParseImageAttr(L"res='' file='a.png'", info);  // empty values are ignored
    EXPECT_EQ(request.name, L"a.png");
    EXPECT_FALSE(request.isResource);
}

TEST(ImageAttr, MalformedPairsStopTheParseKeepingEarlierPairs)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* name;
        int fade;
    } cases[] = {
        {L"res='1' fade='10'", L"1", 10},
        {L"res = '1'  \t fade = '10'", L"1", 10},  // spaces around "=" and between pairs
        {L"res='1' fade='10", L"1", 255},          // the apostrophe must close
        {L"res='1' fade=\"10\"", L"1", 255},       // only apostrophes
        {L"res='1' fade'10'", L"1", 255},          // no "="
        {L"res='1'fade='10'", L"1", 255},          // no space after the value
        {L"res='1'\tfade='10'", L"1", 255},        // a tab is not the space that must follow
        {L"res='1' ", L"1", 255},
        {L"res='1", L"res='1", 255},
        {L"fade='10' res='2", L"fade='10' res='2", 10},
    };
    for (const Case& c : cases) {
        ImageDrawInfo info;
        ImageLoadRequest request = ParseImageAttr(c.text, info);
        EXPECT_EQ(request.name, c.name) << c.text;
        EXPECT_EQ(info.fade, c.fade) << c.text;
    }
}

TEST(ImageAttr, NumbersColoursAndFade)
{
    EXPECT_TRUE(RectIs(SkinUI::ParseFourNumbers(L"1,2,3,4"), 1, 2, 3, 4));
    EXPECT_TRUE(RectIs(SkinUI::ParseFourNumbers(L"1,2"), 1, 2, 0, 0));
    EXPECT_TRUE(RectIs(SkinUI::ParseFourNumbers(L"1,,3,4"), 1, 0, 3, 4));
    EXPECT_TRUE(RectIs(SkinUI::ParseFourNumbers(L"-5, 6,7;8"), -5, 6, 7, 8));
    EXPECT_TRUE(RectIs(SkinUI::ParseFourNumbers(L"1 ,2,3,4"), 1, 0, 2, 3));  // one separator only
    EXPECT_TRUE(RectIs(SkinUI::ParseFourNumbers(L"1,2,"), 1, 2, 0, 0));
    EXPECT_TRUE(RectIs(SkinUI::ParseFourNumbers(L"x"), 0, 0, 0, 0));
    EXPECT_TRUE(RectIs(SkinUI::ParseFourNumbers(L"99999999999,-99999999999"), 2147483647, -2147483647 - 1, 0, 0));
    EXPECT_TRUE(RectIs(SkinUI::ParseFourNumbers(L""), 0, 0, 0, 0));

    EXPECT_EQ(SkinUI::ParseHexColor(L"#FF00FF00"), 0xFF00FF00u);
    EXPECT_EQ(SkinUI::ParseHexColor(L"ff00ff00"), 0xFF00FF00u);
    EXPECT_EQ(SkinUI::ParseHexColor(L"0x80"), 0x80u);
    EXPECT_EQ(SkinUI::ParseHexColor(L"#1FF00FF00"), 0xFFFFFFFFu);
    EXPECT_EQ(SkinUI::ParseHexColor(L"zz"), 0u);

    auto fade = [](const wchar_t* text) {
        ImageDrawInfo info;
        ParseImageAttr(text, info);
        return static_cast<int>(info.fade);
    };
    EXPECT_EQ(fade(L"fade='0'"), 0);
    EXPECT_EQ(fade(L"fade='255'"), 255);
    EXPECT_EQ(fade(L"fade='256'"), 0);  // low 8 bits
    EXPECT_EQ(fade(L"fade='300'"), 44);
    EXPECT_EQ(fade(L"fade='x'"), 0);
}

TEST(ImageAttr, SettingTheSameStringKeepsALoadedPicture)
{
    ImageDrawInfo info;
    EXPECT_TRUE(info.SetAttrString(L"res='1'"));
    EXPECT_TRUE(info.SetAttrString(L"res='1'"));  // no picture yet: reset again
    info.loadAttempted = true;
    info.image = reinterpret_cast<SkinUI::ImageData*>(&info);  // any non-null borrowed pointer
    info.fade = 7;
    EXPECT_FALSE(info.SetAttrString(L"res='1'"));
    EXPECT_EQ(info.fade, 7);
    EXPECT_TRUE(info.SetAttrString(L"res='2'"));
    EXPECT_EQ(info.image, nullptr);
    EXPECT_FALSE(info.loadAttempted);
    EXPECT_EQ(info.fade, 255);
    EXPECT_EQ(info.attrString, L"res='2'");
}

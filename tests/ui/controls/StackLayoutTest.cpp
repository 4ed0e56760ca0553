#include <gtest/gtest.h>

#include "ui/controls/StackLayout.h"

using namespace SkinUI::StackLayout;

namespace {

// A measuring callback for children that want only their fixed sizes (what
// a plain control answers), recording what each was offered.
struct FixedMeasure {
    const std::vector<Child>* children;
    std::vector<Size>* offers;
    Size operator()(int index, Size available) const
    {
        if (offers != nullptr) offers->push_back(available);
        const Child& c = (*children)[index];
        return Size{c.fixedWidth, c.fixedHeight};
    }
};

Child Fixed(int width, int height, Rect padding = {})
{
    Child c;
    c.fixedWidth = width;
    c.fixedHeight = height;
    c.padding = padding;
    return c;
}

}  // namespace

TEST(StackLayout, VerticalStacksFixedHeightsAndStretchesTheRest)
{
    std::vector<Child> children = {Fixed(0, 30), Fixed(0, 0), Fixed(100, 20, {5, 4, 0, 6}), Fixed(0, 0)};
    Result r = Arrange(Axis::Vertical, Rect{10, 10, 210, 210}, children, 2, CrossAlign::Start,
                       FixedMeasure{&children, nullptr});
    // 200 high: fixed 30 + (4 + 20 + 6) + 3 paddings of 2 = 66; two
    // stretchable children share 134.
    EXPECT_EQ(r.rects[0], (Rect{10, 10, 210, 40}));
    EXPECT_EQ(r.rects[1], (Rect{10, 42, 210, 109}));
    EXPECT_EQ(r.rects[2], (Rect{15, 115, 115, 135}));
    EXPECT_EQ(r.rects[3], (Rect{10, 143, 210, 210}));
}

TEST(StackLayout, LastStretchableChildTakesTheRoundingRest)
{
    std::vector<Child> children = {Fixed(0, 0), Fixed(0, 0), Fixed(0, 0)};
    Result r = Arrange(Axis::Vertical, Rect{0, 0, 50, 100}, children, 0, CrossAlign::Start,
                       FixedMeasure{&children, nullptr});
    EXPECT_EQ(r.rects[0].Height(), 33);
    EXPECT_EQ(r.rects[1].Height(), 33);
    EXPECT_EQ(r.rects[2].Height(), 34);
    EXPECT_EQ(r.rects[2].bottom, 100);
}

TEST(StackLayout, StretchRespectsMinAndMax)
{
    std::vector<Child> children = {Fixed(0, 0), Fixed(0, 0)};
    children[0].maxHeight = 10;
    children[1].minWidth = 80;
    Result r = Arrange(Axis::Vertical, Rect{0, 0, 50, 100}, children, 0, CrossAlign::Start,
                       FixedMeasure{&children, nullptr});
    EXPECT_EQ(r.rects[0].Height(), 10);
    EXPECT_EQ(r.rects[1].Height(), 90);  // the last one takes what is left
    EXPECT_EQ(r.rects[1].Width(), 80);
}

TEST(StackLayout, HorizontalEmptyLayoutPushesAFixedButtonToTheRightEdge)
{
    std::vector<Child> children = {Fixed(0, 0), Fixed(25, 0)};
    std::vector<Size> offers;
    Result r = Arrange(Axis::Horizontal, Rect{0, 0, 300, 40}, children, 0, CrossAlign::Start,
                       FixedMeasure{&children, &offers});
    EXPECT_EQ(r.rects[0], (Rect{0, 0, 275, 40}));
    EXPECT_EQ(r.rects[1], (Rect{275, 0, 300, 40}));
    // Children without a fixed width are stretched without being asked.
    for (const Size& offer : offers) EXPECT_EQ(offer.cx, 25);
}

TEST(StackLayout, HorizontalAlignsAcrossAndKeepsPadding)
{
    // The percentage row of the setup wizard: a spacer, then a 50 x 15
    // label with 25 pixels of right padding, in a 593 x 20 row.
    std::vector<Child> children = {Fixed(0, 0), Fixed(50, 15, {0, 0, 25, 0})};
    Result r = Arrange(Axis::Horizontal, Rect{24, 460, 617, 480}, children, 0, CrossAlign::Start,
                       FixedMeasure{&children, nullptr});
    EXPECT_EQ(r.rects[0], (Rect{24, 460, 542, 480}));
    EXPECT_EQ(r.rects[1], (Rect{542, 460, 592, 475}));

    r = Arrange(Axis::Horizontal, Rect{0, 0, 100, 40}, {Fixed(20, 10, {0, 0, 0, 3})}, 0, CrossAlign::End,
                [](int, Size) { return Size{20, 10}; });
    EXPECT_EQ(r.rects[0], (Rect{0, 27, 20, 37}));
    r = Arrange(Axis::Horizontal, Rect{0, 0, 100, 40}, {Fixed(20, 10)}, 0, CrossAlign::Center,
                [](int, Size) { return Size{20, 10}; });
    EXPECT_EQ(r.rects[0], (Rect{0, 15, 20, 25}));
}

TEST(StackLayout, MeasuredHeightIsUsedAndReofferedWithWhatRemains)
{
    // A child without a fixed height that measures itself (a label: font
    // height + 8) keeps its measured height instead of the stretch share.
    std::vector<Child> children = {Fixed(0, 0), Fixed(0, 50)};
    std::vector<Size> offers;
    Result r = Arrange(Axis::Vertical, Rect{0, 0, 120, 200}, children, 0, CrossAlign::Start,
                       [&](int index, Size available) {
                           offers.push_back(available);
                           return index == 0 ? Size{40, 24} : Size{0, 50};
                       });
    EXPECT_EQ(r.rects[0], (Rect{0, 0, 120, 24}));
    EXPECT_EQ(r.rects[1], (Rect{0, 24, 120, 74}));
    ASSERT_EQ(offers.size(), 4u);
    EXPECT_EQ(offers[3].cy, 50);  // min(fixed 50, 176 remaining)
}

TEST(StackLayout, NothingToPlace)
{
    Result r = Arrange(Axis::Vertical, Rect{0, 0, 10, 10}, {}, 4, CrossAlign::Start, nullptr);
    EXPECT_TRUE(r.rects.empty());
}

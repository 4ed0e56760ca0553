// Scaling skin coordinates: neighbours stay neighbours at every scale, the
// way back is exact, and a window never outgrows its monitor.
#include <gtest/gtest.h>

#include "ui/core/DpiScale.h"

using SkinUI::DpiScale;

TEST(DpiScale, NeighboursMeetAndLengthsAddUpAtEveryScale)
{
    // Every run of lengths laid edge to edge from any start: the scaled
    // pieces cover exactly the scaled whole, with no pixel lost or doubled.
    const int lengths[] = {1, 3, 7, 15, 25, 28, 41, 66, 69, 88, 93, 105, 342, 569, 597};
    for (int dpi : {96, 108, 120, 144, 168, 192, 240, 288}) {
        DpiScale scale(dpi);
        for (int start = -40; start <= 40; ++start) {
            int position = start;
            int covered = 0;
            for (int length : lengths) {
                covered += scale.ScaleLength(position, length);
                position += length;
            }
            EXPECT_EQ(scale.Scale(start) + covered, scale.Scale(position)) << dpi << " from " << start;
        }
        // The way back lands where it started, for negative edges too
        // (the carousel's panels wait left of the window).
        for (int v = -700; v <= 700; ++v) ASSERT_EQ(scale.Unscale(scale.Scale(v)), v) << dpi;
    }
    EXPECT_EQ(DpiScale(120).Scale(1), 1);    // 1.25 rounds down
    EXPECT_EQ(DpiScale(144).Scale(1), 2);    // 1.5 rounds up
    EXPECT_EQ(DpiScale(144).Scale(-1), -1);  // -1.5 rounds up as well
    EXPECT_EQ(DpiScale(168).Scale(647), 1132);
    EXPECT_EQ(DpiScale(144).Percent(), 150);
    EXPECT_EQ(DpiScale(0).Dpi(), 96);  // nonsense from the system
}

TEST(DpiScale, FitsTheWorkAreaWithoutShrinkingBelowTheArt)
{
    // The name window (711 x 462) at 200 % on a 1280 x 720 screen: the
    // largest scale whose size fits.
    int dpi = DpiScale::FitDpi(192, 711, 462, 1280, 720 - 40);
    EXPECT_LT(dpi, 192);
    EXPECT_LE(DpiScale(dpi).Scale(711), 1280);
    EXPECT_LE(DpiScale(dpi).Scale(462), 680);
    EXPECT_GT(DpiScale(dpi + 1).Scale(462), 680);
    // Room enough: the system's scale stands.
    EXPECT_EQ(DpiScale::FitDpi(144, 711, 462, 3840, 2100), 144);
    // Not even 100 % fits: 100 % it is, never smaller than the pictures.
    EXPECT_EQ(DpiScale::FitDpi(192, 711, 462, 640, 440), 96);
    EXPECT_EQ(DpiScale::FitDpi(72, 711, 462, 640, 440), 72);
}

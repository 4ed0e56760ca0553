// The filter that takes the 2x art to other scales.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ui/render/AreaResample.h"

using SkinUI::AreaResample;

namespace {
using Pixels = std::vector<uint8_t>;

Pixels Fill(int width, int height, uint32_t (*at)(int x, int y))
{
    Pixels rgba;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t v = at(x, y);  // 0xRRGGBBAA
            rgba.insert(rgba.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
        }
    }
    return rgba;
}

uint32_t At(const Pixels& rgba, int width, int x, int y)
{
    const uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
}  // namespace

TEST(AreaResample, HalvingTheDoubleArtGivesTheSingleArtBack)
{
    // A 2x render of a 1x picture made of whole pixels: each 2 x 2 block is
    // one colour, so the area filter must give the 1x pixels exactly.
    auto single = [](int x, int y) -> uint32_t { return (x * 37 + y * 91) % 2 ? 0x10A0E0FFu : 0xF0302080u; };
    Pixels twice = Fill(12, 8, [](int x, int y) -> uint32_t { return ((x / 2) * 37 + (y / 2) * 91) % 2 ? 0x10A0E0FFu : 0xF0302080u; });
    Pixels half = AreaResample(twice.data(), 12, 8, 6, 4);
    ASSERT_EQ(half.size(), 6u * 4 * 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(At(half, 6, x, y), single(x, y)) << x << "," << y;

    // Whole-number enlargements repeat pixels; nothing is smeared.
    Pixels triple = AreaResample(half.data(), 6, 4, 18, 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 18; ++x) ASSERT_EQ(At(triple, 18, x, y), single(x / 3, y / 3));
}

TEST(AreaResample, TransparentColourNeverBleedsIntoTheEdge)
{
    // Transparent red beside opaque green, taken to 75 %: the pixel that
    // straddles both is green at partial alpha. Averaging straight colour
    // (what StretchBlt's HALFTONE does) would mix the invisible red in.
    Pixels edge = Fill(4, 1, [](int x, int) -> uint32_t { return x < 2 ? 0xFF000000u : 0x00FF00FFu; });
    Pixels out = AreaResample(edge.data(), 4, 1, 3, 1);
    ASSERT_EQ(out.size(), 12u);
    uint32_t middle = At(out, 3, 1, 0);
    EXPECT_EQ(middle >> 24, 0u);             // no red
    EXPECT_EQ((middle >> 16) & 0xFF, 255u);  // pure green
    EXPECT_NEAR(static_cast<int>(middle & 0xFF), 128, 1);  // half covered
    EXPECT_EQ(At(out, 3, 0, 0) & 0xFF, 0u);
    EXPECT_EQ(At(out, 3, 2, 0), 0x00FF00FFu);
}

TEST(AreaResample, FractionalScalesKeepTheAverageAndRefuseNonsense)
{
    // A grey ramp at 125 % and at 62.5 %: what the eye averages over the
    // picture stays the same.
    Pixels ramp = Fill(40, 3, [](int x, int) -> uint32_t {
        uint32_t g = static_cast<uint32_t>(x * 6);
        return g << 24 | g << 16 | g << 8 | 0xFF;
    });
    auto mean = [](const Pixels& rgba) {
        double sum = 0;
        for (size_t i = 0; i < rgba.size(); i += 4) sum += rgba[i];
        return sum / (rgba.size() / 4);
    };
    for (int width : {50, 25}) {
        Pixels out = AreaResample(ramp.data(), 40, 3, width, 3);
        ASSERT_EQ(out.size(), static_cast<size_t>(width) * 3 * 4);
        EXPECT_NEAR(mean(out), mean(ramp), 0.6) << width;
        for (size_t i = 3; i < out.size(); i += 4) ASSERT_EQ(out[i], 255);  // opaque stays opaque
    }
    EXPECT_TRUE(AreaResample(ramp.data(), 40, 3, 0, 3).empty());
    EXPECT_TRUE(AreaResample(ramp.data(), 40, 3, 0x8000, 3).empty());
    EXPECT_TRUE(AreaResample(nullptr, 40, 3, 20, 3).empty());
}

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/TestPng.h"
#include "support/TestSupport.h"
#include "support/TestZip.h"
#include "ui/core/ResourceSettings.h"
#include "ui/render/ImageLoader.h"
#include "ui/render/ImageTable.h"
#include "ui/render/RenderImage.h"

using namespace SkinUI;
using testing_support::EncodePng;
using testing_support::TempDir;

namespace {

// A 32-bit top-down DIB with its own memory DC: what the manager paints into.
class Canvas {
public:
    Canvas(int width, int height, uint32_t fill) : m_width(width), m_height(height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_pixels = static_cast<uint32_t*>(bits);
        m_dc = CreateCompatibleDC(nullptr);
        m_old = SelectObject(m_dc, m_bitmap);
        Fill(fill);
    }
    ~Canvas()
    {
        SelectObject(m_dc, m_old);
        DeleteDC(m_dc);
        DeleteObject(m_bitmap);
    }
    void Fill(uint32_t argb)
    {
        GdiFlush();
        for (int i = 0; i < m_width * m_height; ++i) m_pixels[i] = argb;
    }
    uint32_t At(int x, int y) const
    {
        GdiFlush();
        return m_pixels[y * m_width + x];
    }
    HDC Dc() const { return m_dc; }
    RECT Whole() const { return RECT{0, 0, m_width, m_height}; }

private:
    int m_width, m_height;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
    HDC m_dc;
    uint32_t* m_pixels;
};

::testing::AssertionResult Near(uint32_t actual, uint32_t expected, int tolerance = 2)
{
    for (int shift = 0; shift < 32; shift += 8) {
        int a = (actual >> shift) & 0xFF, e = (expected >> shift) & 0xFF;
        if (std::abs(a - e) > tolerance) {
            char text[64];
            snprintf(text, sizeof(text), "%08X, expected %08X", static_cast<unsigned>(actual),
                     static_cast<unsigned>(expected));
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

// Colour of column k of the strip in resource 146 (columns 10 to 14).
uint32_t StripColour(int k) { return 0xFF000000u | (40u * k + 20) << 16 | 200u << 8 | 10u * k; }

const uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

class Images : public ::testing::Test {
protected:
    void SetUp() override
    {
        CResourceSettings::SetInstance(GetModuleHandleW(nullptr));
        CResourceSettings::SetResourcePath(m_dir.Path().c_str());
    }
    void TearDown() override
    {
        SetAlphaBlendForTesting(nullptr);
        CResourceSettings::CloseResourceZip();
        CResourceSettings::SetResourcePath(L"");
        m_table.ReleaseImages(true);
    }

    bool Draw(Canvas& canvas, const wchar_t* attr, RECT item, RECT paint)
    {
        ImageDrawInfo info;
        info.SetAttrString(attr);
        return DrawImageInfo(canvas.Dc(), &m_table, item, paint, info);
    }
    bool Draw(Canvas& canvas, const wchar_t* attr) { return Draw(canvas, attr, canvas.Whole(), canvas.Whole()); }

    TempDir m_dir{L"render"};
    CImageTable m_table;
};

}  // namespace

TEST_F(Images, StripTiledAcrossTheControlAtFullHeight)
{
    Canvas canvas(23, 6, kWhite);
    ASSERT_TRUE(Draw(canvas, L"res='146' restype='png' source='10,0,15,3' xtiled='true'"));
    for (int x = 0; x < 23; ++x) {
        for (int y : {0, 5}) EXPECT_EQ(canvas.At(x, y), StripColour(x % 5)) << x << "," << y;
    }
    // A destination inside the item, with the last tile cut at 9 pixels.
    canvas.Fill(kWhite);
    ASSERT_TRUE(Draw(canvas, L"res='146' restype='PNG' source='10,0,15,3' xtiled='true' dest='2,1,11,4'"));
    EXPECT_EQ(canvas.At(1, 2), kWhite);
    EXPECT_EQ(canvas.At(2, 1), StripColour(0));
    EXPECT_EQ(canvas.At(7, 3), StripColour(0));
    EXPECT_EQ(canvas.At(10, 2), StripColour(3));
    EXPECT_EQ(canvas.At(11, 2), kWhite);
    EXPECT_EQ(canvas.At(5, 4), kWhite);
    EXPECT_EQ(m_table.ImageCount(false), 1u);  // one picture for both draw infos
}

TEST_F(Images, TilesOutsideThePaintRectangleAreSkipped)
{
    Canvas canvas(20, 3, kWhite);
    RECT paint = {0, 0, 7, 3};
    ASSERT_TRUE(Draw(canvas, L"res='146' restype='png' source='10,0,15,3' xtiled='true'", canvas.Whole(), paint));
    EXPECT_EQ(canvas.At(6, 1), StripColour(1));  // the second tile meets the paint rectangle
    EXPECT_EQ(canvas.At(9, 1), StripColour(4));
    EXPECT_EQ(canvas.At(10, 1), kWhite);  // the third does not
    // A picture outside the paint rectangle still counts as drawn.
    RECT away = {30, 30, 40, 40};
    EXPECT_TRUE(Draw(canvas, L"res='146' restype='png'", canvas.Whole(), away));
}

TEST_F(Images, TilingDownwardsAndInBothDirections)
{
    // 2 x 2: red green / blue white.
    WriteBytes(m_dir / L"quad.png", EncodePng({kRed, kGreen, kBlue, kWhite}, 2, 2));
    const uint32_t quad[2][2] = {{kRed, kGreen}, {kBlue, kWhite}};
    Canvas canvas(5, 5, 0);
    ASSERT_TRUE(Draw(canvas, L"file='quad.png' xtiled='true' ytiled='true'"));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(canvas.At(x, y), quad[y % 2][x % 2]) << x << "," << y;

    // Downwards only: each tile stretched across the full width of 4.
    Canvas tall(4, 5, 0);
    ASSERT_TRUE(Draw(tall, L"file='quad.png' ytiled='true'"));
    for (int y = 0; y < 5; ++y) {
        EXPECT_EQ(tall.At(0, y), quad[y % 2][0]) << y;
        EXPECT_EQ(tall.At(3, y), quad[y % 2][1]) << y;
    }
}

TEST_F(Images, NineSliceWithHoleDrawsOnlyTheFrame)
{
    // 12 x 12: a 4-pixel red frame around a green centre.
    std::vector<uint32_t> pixels(144);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) pixels[y * 12 + x] = (x < 4 || x >= 8 || y < 4 || y >= 8) ? kRed : kGreen;
    WriteBytes(m_dir / L"frame.png", EncodePng(pixels, 12, 12));

    Canvas canvas(30, 20, kBlue);
    ASSERT_TRUE(Draw(canvas, L"file='frame.png' corner='4,4,4,4' hole='true'"));
    EXPECT_EQ(canvas.At(0, 0), kRed);
    EXPECT_EQ(canvas.At(3, 10), kRed);
    EXPECT_EQ(canvas.At(15, 3), kRed);
    EXPECT_EQ(canvas.At(29, 19), kRed);
    EXPECT_EQ(canvas.At(26, 16), kRed);
    EXPECT_EQ(canvas.At(4, 4), kBlue);
    EXPECT_EQ(canvas.At(15, 10), kBlue);
    EXPECT_EQ(canvas.At(25, 15), kBlue);

    canvas.Fill(kBlue);
    ASSERT_TRUE(Draw(canvas, L"file='frame.png' scale9='4,4,4,4'"));
    EXPECT_EQ(canvas.At(15, 10), kGreen);  // the centre stretched
    EXPECT_EQ(canvas.At(4, 4), kGreen);
    EXPECT_EQ(canvas.At(3, 3), kRed);

    // With a hole and no corners there is nothing to draw, copied or not.
    canvas.Fill(kBlue);
    Canvas same(12, 12, kBlue);
    ASSERT_TRUE(Draw(same, L"file='frame.png' hole='true'"));
    EXPECT_EQ(same.At(0, 0), kBlue);
}

TEST_F(Images, ColourPictures)
{
    Canvas canvas(4, 4, kRed);
    ASSERT_TRUE(Draw(canvas, L"color='#FF00FF00'"));
    EXPECT_EQ(canvas.At(0, 0), kGreen);
    EXPECT_EQ(canvas.At(3, 3), kGreen);

    canvas.Fill(kRed);
    ASSERT_TRUE(Draw(canvas, L"color='#8000FF00'"));
    EXPECT_TRUE(Near(canvas.At(2, 2), 0xFF7F8000));

    // A colour that starts with a digit is still a colour, not resource 80.
    canvas.Fill(kRed);
    ASSERT_TRUE(Draw(canvas, L"color='80FF0000' dest='0,0,2,2'"));
    EXPECT_TRUE(Near(canvas.At(0, 0), 0xFFFF0000));
    ASSERT_TRUE(Draw(canvas, L"color='800000FF' dest='2,2,4,4'"));
    EXPECT_TRUE(Near(canvas.At(3, 3), 0xFF7F0080));
    EXPECT_EQ(canvas.At(3, 0), kRed);
}

TEST_F(Images, PremultipliedPixelsAndTheMaskColour)
{
    WriteBytes(m_dir / L"alpha.png", EncodePng({0x80C86432, 0xFFFF00FF, 0xFF102030}, 3, 1));
    ImageData* image = m_table.FindOrLoadImage(L"alpha.png", nullptr, 0xFFFF00FF, false);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->hasAlpha);
    const uint8_t* p = image->pixels;
    // 200, 100, 50 at alpha 128: each channel * 128 / 255, cut to an integer.
    EXPECT_EQ(p[0], 25);
    EXPECT_EQ(p[1], 50);
    EXPECT_EQ(p[2], 100);
    EXPECT_EQ(p[3], 128);
    for (int i = 4; i < 8; ++i) EXPECT_EQ(p[i], 0) << i;  // masked out
    EXPECT_EQ(p[8], 0x30);
    EXPECT_EQ(p[11], 0xFF);

    // The masked pixel lets the background through; opaque ones cover it.
    Canvas canvas(3, 1, kBlue);
    ASSERT_TRUE(Draw(canvas, L"file='alpha.png' mask='#FFFF00FF'"));
    EXPECT_EQ(canvas.At(1, 0), kBlue);
    EXPECT_EQ(canvas.At(2, 0), 0xFF102030u);
    EXPECT_TRUE(Near(canvas.At(0, 0), 0xFF643298));  // 100,50,25 + blue * (1 - 128/255)

    // An opaque picture without a mask is copied.
    WriteBytes(m_dir / L"opaque.png", EncodePng({kRed, kGreen}, 2, 1));
    ImageData* opaque = m_table.FindOrLoadImage(L"opaque.png", nullptr, 0, false);
    ASSERT_NE(opaque, nullptr);
    EXPECT_FALSE(opaque->hasAlpha);
    EXPECT_EQ(opaque->unadjustedPixels, nullptr);

    ImageData* kept = m_table.RegisterImage(L"kept.png", nullptr, 0, true, false);
    EXPECT_EQ(kept, nullptr);  // no such file
    WriteBytes(m_dir / L"kept.png", EncodePng({kRed, kGreen}, 2, 1));
    kept = m_table.RegisterImage(L"kept.png", nullptr, 0, true, false);
    ASSERT_NE(kept, nullptr);
    ASSERT_NE(kept->unadjustedPixels, nullptr);
    EXPECT_EQ(memcmp(kept->unadjustedPixels.get(), kept->pixels, 8), 0);
}

TEST_F(Images, FadeBlendsAnOpaquePicture)
{
    Canvas canvas(2, 2, kBlue);
    ASSERT_TRUE(Draw(canvas, L"color='#FFFF0000' fade='128'"));
    EXPECT_TRUE(Near(canvas.At(1, 1), 0xFF80007F));
    canvas.Fill(kBlue);
    ASSERT_TRUE(Draw(canvas, L"color='#FFFF0000' fade='256'"));  // low 8 bits: 0
    EXPECT_EQ(canvas.At(1, 1), kBlue);
}

TEST_F(Images, OneLoadPerNameWhateverTheType)
{
    ImageData* first = m_table.FindOrLoadImage(L"146", L"png", 0, false);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->resourceType, L"png");
    EXPECT_EQ(first->width, 20);
    EXPECT_EQ(m_table.FindOrLoadImage(L"146", L"other", 0xFF, false), first);
    EXPECT_EQ(m_table.FindImage(L"146"), first);
    EXPECT_EQ(m_table.ImageCount(false), 1u);

    // Resource ids beyond what MAKEINTRESOURCE carries are names, not
    // pointers, and simply are not found.
    EXPECT_EQ(m_table.RegisterImage(L"70000", L"png", 0, false, false), nullptr);
    EXPECT_EQ(m_table.RegisterImage(L"146", L"", 0, false, false), nullptr);  // a resource needs a type
    EXPECT_EQ(m_table.RegisterImage(L"", L"png", 0, false, false), nullptr);
    EXPECT_EQ(m_table.RegisterImage(nullptr, L"png", 0, false, false), nullptr);
}

TEST_F(Images, AFailedLoadWaitsForTheStringToBeSetAgain)
{
    Canvas canvas(2, 1, kBlue);
    ImageDrawInfo info;
    info.SetAttrString(L"file='late.png'");
    EXPECT_FALSE(DrawImageInfo(canvas.Dc(), &m_table, canvas.Whole(), canvas.Whole(), info));
    WriteBytes(m_dir / L"late.png", EncodePng({kRed, kGreen}, 2, 1));
    EXPECT_FALSE(DrawImageInfo(canvas.Dc(), &m_table, canvas.Whole(), canvas.Whole(), info));
    EXPECT_EQ(canvas.At(0, 0), kBlue);

    EXPECT_TRUE(info.SetAttrString(L"file='late.png'"));
    EXPECT_TRUE(DrawImageInfo(nullptr, &m_table, canvas.Whole(), canvas.Whole(), info));  // loads only
    EXPECT_EQ(canvas.At(0, 0), kBlue);
    EXPECT_TRUE(DrawImageInfo(canvas.Dc(), &m_table, canvas.Whole(), canvas.Whole(), info));
    EXPECT_EQ(canvas.At(0, 0), kRed);
    EXPECT_EQ(info.imageName, L"late.png");

    // Same string with the picture attached: nothing to do.
    EXPECT_FALSE(info.SetAttrString(L"file='late.png'"));
    // Another source part reuses the loaded picture.
    ImageData* loaded = info.image;
    EXPECT_TRUE(info.SetAttrString(L"file='late.png' source='1,0,2,1'"));
    EXPECT_TRUE(DrawImageInfo(canvas.Dc(), &m_table, canvas.Whole(), canvas.Whole(), info));
    EXPECT_EQ(info.image, loaded);
    EXPECT_EQ(canvas.At(0, 0), kGreen);

    ImageDrawInfo empty;
    EXPECT_FALSE(DrawImageInfo(canvas.Dc(), &m_table, canvas.Whole(), canvas.Whole(), empty));
    EXPECT_TRUE(DrawImageInfo(canvas.Dc(), nullptr, canvas.Whole(), canvas.Whole(), empty));
}

TEST_F(Images, SourceIsClampedOnAllFourSides)
{
    WriteBytes(m_dir / L"two.png", EncodePng({kRed, kGreen, kBlue, kWhite}, 2, 2));
    Canvas canvas(4, 4, 0);
    ImageDrawInfo info;
    info.SetAttrString(L"file='two.png' source='-3,-2,9,7'");
    ASSERT_TRUE(DrawImageInfo(canvas.Dc(), &m_table, canvas.Whole(), canvas.Whole(), info));
    EXPECT_EQ(canvas.At(0, 0), kRed);
    EXPECT_EQ(canvas.At(3, 3), kWhite);

    // Corners larger than the source and a source outside the picture.
    canvas.Fill(0);
    RECT whole = canvas.Whole(), source = {0, 0, 2, 2}, corners = {5, 5, 5, 5}, outside = {8, 8, 12, 12};
    ImageData* image = m_table.FindImage(L"two.png");
    EXPECT_TRUE(RenderImage(canvas.Dc(), image->bitmap, whole, whole, source, corners, false, 255, false, false, false));
    EXPECT_FALSE(RenderImage(canvas.Dc(), image->bitmap, whole, whole, outside, corners, true, 255, false, true, true));
}

TEST_F(Images, CopyShortCutCopiesOnlyThePaintRectangle)
{
    Canvas canvas(2, 1, kBlue);
    RECT paint = {1, 0, 2, 1};
    ASSERT_TRUE(Draw(canvas, L"res='146' restype='png' source='10,0,12,1'", canvas.Whole(), paint));
    EXPECT_EQ(canvas.At(0, 0), kBlue);
    EXPECT_EQ(canvas.At(1, 0), StripColour(1));
}

TEST_F(Images, PicturesFromTheResourceZipAndByFullPath)
{
    testing_support::TestZip zip;
    zip.Add("img/Green.png", EncodePng({kGreen}, 1, 1));
    WriteBytes(m_dir / L"skin.zip", zip.Bytes());
    CResourceSettings::SetResourceZip(L"skin.zip", false);
    Canvas canvas(1, 1, kBlue);
    ASSERT_TRUE(Draw(canvas, L"file='IMG/green.png'"));
    EXPECT_EQ(canvas.At(0, 0), kGreen);

    // Not in the zip, but the name is a path that exists.
    TempDir elsewhere(L"elsewhere");
    WriteBytes(elsewhere / L"red.png", EncodePng({kRed}, 1, 1));
    canvas.Fill(kBlue);
    ASSERT_TRUE(Draw(canvas, (elsewhere / L"red.png").c_str()));
    EXPECT_EQ(canvas.At(0, 0), kRed);

    // Not a PNG at all.
    zip.Add("bad.png", "not a picture");
    WriteBytes(m_dir / L"skin.zip", zip.Bytes());
    EXPECT_FALSE(Draw(canvas, L"file='bad.png'"));
}

TEST_F(Images, SharedAndOwnTables)
{
    ImageData* shared = m_table.RegisterImage(L"#FF00FF00", kColorImageType, 0, false, true);
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(m_table.ImageCount(true), 1u);
    EXPECT_EQ(m_table.ImageCount(false), 0u);
    CImageTable other;
    EXPECT_EQ(other.FindImage(L"#FF00FF00"), shared);

    // A replaced picture stays valid for the draw infos that still hold it.
    ImageData* first = m_table.RegisterImage(L"c", nullptr, 0, false, false);
    EXPECT_EQ(first, nullptr);
    first = other.RegisterImage(L"#FFFF0000", kColorImageType, 0, false, false);
    ImageData* second = other.RegisterImage(L"#FFFF0000", kColorImageType, 0, false, false);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(other.FindImage(L"#FFFF0000"), second);
    BITMAP info;
    EXPECT_NE(GetObjectW(first->bitmap, sizeof(info), &info), 0);

    other.SetKeepShared(true);
    other.FindOrLoadImage(L"#FF0000FF", kColorImageType, 0, false);
    EXPECT_EQ(m_table.ImageCount(true), 2u);
    other.ReleaseImages(false);
    EXPECT_EQ(other.ImageCount(false), 0u);
    EXPECT_EQ(m_table.FindImage(L"#FF0000FF") != nullptr, true);
    m_table.ReleaseImages(true);
    EXPECT_EQ(m_table.FindImage(L"#FF00FF00"), nullptr);
}

TEST_F(Images, SystemAndOwnBlendAgree)
{
    // Every alpha from transparent to opaque over a background of changing
    // colours, stretched and faded.
    const int width = 32, height = 8;
    std::vector<uint32_t> pixels(width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[y * width + x] = static_cast<uint32_t>(x * 8 + y) << 24 | static_cast<uint32_t>(x * 7) << 16 |
                                    static_cast<uint32_t>(255 - x * 5) << 8 | static_cast<uint32_t>(y * 30);
    WriteBytes(m_dir / L"ramp.png", EncodePng(pixels, width, height));

    auto paint = [&](AlphaBlendProc blend, Canvas& canvas, const wchar_t* attr) {
        SetAlphaBlendForTesting(blend);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 48; ++x) {
                RECT one = {x, y, x + 1, y + 1};
                HBRUSH brush = CreateSolidBrush(RGB(x * 5, 255 - y * 9, (x * y) & 0xFF));
                FillRect(canvas.Dc(), &one, brush);
                DeleteObject(brush);
            }
        ImageDrawInfo info;
        info.SetAttrString(attr);
        EXPECT_TRUE(DrawImageInfo(canvas.Dc(), &m_table, canvas.Whole(), canvas.Whole(), info));
    };
    for (const wchar_t* attr : {L"file='ramp.png'", L"file='ramp.png' fade='200'", L"file='ramp.png' dest='3,2,35,10'"}) {
        Canvas system(48, 16, 0), own(48, 16, 0);
        paint(nullptr, system, attr);
        paint(&OwnAlphaBlend, own, attr);
        int differences = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 48; ++x)
                if (!Near(own.At(x, y), system.At(x, y))) {
                    if (++differences < 5) ADD_FAILURE() << Near(own.At(x, y), system.At(x, y)) << " at " << x << "," << y;
                }
        EXPECT_EQ(differences, 0) << attr;
    }
    EXPECT_NE(GetAlphaBlend(), nullptr);
}

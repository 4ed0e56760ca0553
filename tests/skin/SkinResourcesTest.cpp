// The skins and pictures as Install.exe carries them: found the way the
// framework finds them (type names "xml" and "png"), decoded by the same
// stb_image the framework uses, at the sizes the windows are laid out for,
// and with the pixel properties the windows rely on.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/TestSupport.h"

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

using namespace testing_support;

namespace {

const std::map<int, std::pair<int, int>> kPictureSizes = {
    {143, {597, 332}}, {148, {597, 332}}, {150, {597, 332}}, {174, {597, 332}}, {164, {647, 449}},
    {184, {70, 16}},   {152, {372, 28}},  {153, {15, 15}},   {154, {15, 15}},   {155, {15, 15}},
    {156, {88, 28}},   {157, {88, 28}},   {158, {88, 28}},   {147, {597, 93}},  {144, {564, 15}},
    {146, {569, 69}},  {159, {140, 35}},  {160, {140, 35}},  {161, {140, 35}},  {172, {130, 20}},
    {173, {130, 20}},  {181, {711, 462}}, {182, {117, 61}},  {183, {348, 41}},  {178, {181, 66}},
    {179, {181, 66}},  {180, {181, 66}},
};

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    uint32_t At(int x, int y) const  // 0xAARRGGBB, as the skins write colours
    {
        const uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
        return static_cast<uint32_t>(p[3]) << 24 | p[0] << 16 | p[1] << 8 | p[2];
    }
    int Alpha(int x, int y) const { return At(x, y) >> 24; }
};

class InstallResources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_exe = LoadLibraryExW((ExeDir() + L"\\..\\bin\\Install.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite()
    {
        if (s_exe) FreeLibrary(s_exe);
        s_exe = nullptr;
    }
    void SetUp() override { ASSERT_NE(s_exe, nullptr) << "bin\\Install.exe not found"; }

    static bool Bytes(int id, const wchar_t* type, std::string& out)
    {
        HRSRC found = FindResourceW(s_exe, MAKEINTRESOURCEW(id), type);
        if (!found) return false;
        const char* data = static_cast<const char*>(LockResource(LoadResource(s_exe, found)));
        out.assign(data, SizeofResource(s_exe, found));
        return true;
    }

    static Picture Decode(int id, const wchar_t* type)
    {
        Picture picture;
        std::string png;
        if (!Bytes(id, type, png)) return picture;
        int channels = 0;
        stbi_uc* pixels = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(png.data()),
                                                static_cast<int>(png.size()), &picture.width, &picture.height,
                                                &channels, 4);
        if (!pixels) return Picture{};
        picture.rgba.assign(pixels, pixels + static_cast<size_t>(picture.width) * picture.height * 4);
        stbi_image_free(pixels);
        return picture;
    }

    // The picture at 100 %: its 1x set, else its 2x set averaged two by two
    // (the big pictures come in the 2x set alone).
    static Picture Decode(int id)
    {
        Picture single = Decode(id, L"png");
        if (!single.rgba.empty()) return single;
        Picture twice = Decode(id, L"png2x");
        if (twice.rgba.empty()) return twice;
        single.width = twice.width / 2;
        single.height = twice.height / 2;
        single.rgba.resize(static_cast<size_t>(single.width) * single.height * 4);
        for (int y = 0; y < single.height; ++y) {
            for (int x = 0; x < single.width; ++x) {
                for (int c = 0; c < 4; ++c) {
                    int sum = 0;
                    for (int k = 0; k < 4; ++k) {
                        sum += twice.rgba[((static_cast<size_t>(2 * y + k / 2)) * twice.width + 2 * x + k % 2) * 4 + c];
                    }
                    single.rgba[(static_cast<size_t>(y) * single.width + x) * 4 + c] = static_cast<uint8_t>((sum + 2) / 4);
                }
            }
        }
        return single;
    }

    static HMODULE s_exe;
};
HMODULE InstallResources::s_exe = nullptr;

}  // namespace

TEST_F(InstallResources, SkinsAreUtf8WindowsWhosePicturesAreAllCarried)
{
    std::set<int> named = {148, 143, 150, 174, 146, 172, 173};  // named by the window code
    const std::regex reference("res='(\\d+)'");
    for (int id : {132, 139, 163, 177}) {
        SCOPED_TRACE(id);
        std::string xml;
        ASSERT_TRUE(Bytes(id, L"xml", xml));
        EXPECT_GT(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, xml.data(), static_cast<int>(xml.size()),
                                      nullptr, 0),
                  0);
        EXPECT_NE(xml.find("<Window"), std::string::npos);
        for (std::sregex_iterator it(xml.begin(), xml.end(), reference), end; it != end; ++it)
            named.insert(std::stoi((*it)[1]));
    }
    for (int id : named) {
        SCOPED_TRACE(id);
        ASSERT_EQ(kPictureSizes.count(id), 1u);
        // Every picture in the 2x set; the 1x one, where it comes too, at
        // half that size.
        Picture twice = Decode(id, L"png2x");
        ASSERT_FALSE(twice.rgba.empty()) << "2x set missing or undecodable";
        EXPECT_EQ(twice.width, 2 * kPictureSizes.at(id).first);
        EXPECT_EQ(twice.height, 2 * kPictureSizes.at(id).second);
        Picture picture = Decode(id);
        EXPECT_EQ(picture.width, kPictureSizes.at(id).first);
        EXPECT_EQ(picture.height, kPictureSizes.at(id).second);
    }
}

// The layered windows take their shape from the background's alpha.
TEST_F(InstallResources, LayeredBackgroundsAreShapedByTheirAlpha)
{
    for (int id : {164, 181}) {
        SCOPED_TRACE(id);
        Picture picture = Decode(id);
        ASSERT_FALSE(picture.rgba.empty());
        int right = picture.width - 1, bottom = picture.height - 1;
        EXPECT_EQ(picture.Alpha(right, 0), 0);
        EXPECT_EQ(picture.Alpha(right, bottom), 0);
        EXPECT_EQ(picture.Alpha(0, bottom), 0);
        EXPECT_EQ(picture.Alpha(picture.width / 2, bottom - 20), 255);
        EXPECT_EQ(picture.Alpha(picture.width - 30, picture.height / 2), 255);
    }
    // The name window's planet rises above its panel: opaque where the panel
    // has not begun yet.
    Picture name = Decode(181);
    EXPECT_EQ(name.Alpha(150, 40), 255);
    EXPECT_EQ(name.Alpha(600, 20), 0);
}

// Pictures drawn over something that must not show through.
TEST_F(InstallResources, OpaqueWhereTheSkinPaintsUnderneath)
{
    // btnBrowse paints white under its picture (bkcolor #FFFFFFFF), and the
    // carousel slides cover the wizard's screen.
    for (int id : {153, 154, 155, 143, 148, 150, 174}) {
        SCOPED_TRACE(id);
        Picture picture = Decode(id);
        ASSERT_FALSE(picture.rgba.empty());
        int transparent = 0;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x) transparent += picture.Alpha(x, y) != 255;
        EXPECT_EQ(transparent, 0);
    }
    // The directory box's inside is the native edit's background
    // (nativebkcolor #FF1d2928), the name box's the edit's bkcolor #FF0B235D,
    // so editing changes nothing visible.
    EXPECT_EQ(Decode(152).At(186, 14), 0xFF1D2928u);
    EXPECT_EQ(Decode(153).At(0, 14), 0xFF1D2928u);
    EXPECT_EQ(Decode(183).At(174, 20), 0xFF0B235Du);
}

// The wizard shows columns [565 - D, 565) of the strip repeated across the
// label, and columns 560-565 before any progress arrives.
TEST_F(InstallResources, ProgressStripIsEmptyAtRestAndCleanAtBothEnds)
{
    Picture strip = Decode(146);
    ASSERT_EQ(strip.width, 569);
    int visible = 0;
    for (int y = 0; y < strip.height; ++y) {
        for (int x = 0; x < 5; ++x) visible += strip.Alpha(x, y) != 0;
        for (int x = 555; x < strip.width; ++x) visible += strip.Alpha(x, y) != 0;
    }
    EXPECT_EQ(visible, 0);
    EXPECT_GT(strip.Alpha(300, 34), 200);  // the bar, centred on the track
    EXPECT_GT(strip.Alpha(548, 34), 200);  // its head
    EXPECT_EQ(strip.Alpha(300, 2), 0);     // glow fades out before the edges
    EXPECT_GT(strip.At(548, 34) & 0xFF, strip.At(100, 34) & 0xFF);  // brighter towards the head
}

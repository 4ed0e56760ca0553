#include "ui/render/ImageLoader.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ui/core/ResourceReader.h"
#include "ui/core/ResourceSettings.h"
#include "ui/core/DpiScale.h"
#include "ui/render/AreaResample.h"
#include "ui/render/ImageAttr.h"

// The pictures are the program's own PNGs; nothing else needs decoding, and
// they always arrive as bytes in memory.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_ASSERT(x) ((void)0)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace SkinUI {

namespace {

struct StbFree {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

bool ReadBytes(const wchar_t* name, const wchar_t* type, std::vector<unsigned char>& bytes)
{
    if (type != nullptr) {
        if (CResourceReader::ReadModuleResource(CResourceSettings::GetResourceModule(), name, type, bytes)) return true;
    } else if (!IS_INTRESOURCE(name)) {
        if (CResourceReader::ReadResourceFile(name, kMaxImageFileBytes, bytes) == ResourceReadResult::Ok) return true;
    }
    if (IS_INTRESOURCE(name)) return false;
    return CResourceReader::ReadWholeFile(name, kMaxImageFileBytes, bytes) == ResourceReadResult::Ok;
}

}  // namespace

std::unique_ptr<ImageData> CreateImageData(const uint8_t* rgba, int width, int height, uint32_t mask)
{
    if (rgba == nullptr || width <= 0 || height <= 0 || width > 0x7FFF || height > 0x7FFF) return nullptr;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        if (bitmap) ::DeleteObject(bitmap);
        return nullptr;
    }
    auto image = std::make_unique<ImageData>();
    image->bitmap = bitmap;
    image->pixels = static_cast<uint8_t*>(bits);
    image->width = width;
    image->height = height;

    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    uint8_t* out = image->pixels;
    bool hasAlpha = false;
    for (size_t i = 0; i < count; ++i, rgba += 4, out += 4) {
        const unsigned alpha = rgba[3];
        out[3] = static_cast<uint8_t>(alpha);
        if (alpha == 255) {
            out[0] = rgba[2];
            out[1] = rgba[1];
            out[2] = rgba[0];
        } else {
            out[0] = static_cast<uint8_t>(rgba[2] * alpha / 255);
            out[1] = static_cast<uint8_t>(rgba[1] * alpha / 255);
            out[2] = static_cast<uint8_t>(rgba[0] * alpha / 255);
            hasAlpha = true;
        }
        uint32_t value = static_cast<uint32_t>(out[3]) << 24 | static_cast<uint32_t>(out[2]) << 16 |
                         static_cast<uint32_t>(out[1]) << 8 | out[0];
        if (value == mask) {
            memset(out, 0, 4);
            hasAlpha = true;
        }
    }
    image->hasAlpha = hasAlpha;
    return image;
}

std::unique_ptr<ImageData> LoadImageData(const wchar_t* name, const wchar_t* type, uint32_t mask, int dpi)
{
    if (name == nullptr) return nullptr;
    if (type != nullptr && !IS_INTRESOURCE(name) && wcscmp(type, kColorImageType) == 0) {
        uint32_t color = ParseHexColor(name);
        const uint8_t rgba[4] = {static_cast<uint8_t>(color >> 16), static_cast<uint8_t>(color >> 8),
                                 static_cast<uint8_t>(color), static_cast<uint8_t>(color >> 24)};
        return CreateImageData(rgba, 1, 1, mask);
    }

    // The set for the scale first: above 100 % the 2x one. A resource in
    // one set only (the big pictures come in the 2x set alone) is taken from
    // that set at any scale.
    std::vector<unsigned char> bytes;
    int artDpi = kBaseDpi;
    auto readDouble = [&] {
        if (type == nullptr) return false;
        std::wstring doubleType(type);
        doubleType += L"2X";
        if (!CResourceReader::ReadModuleResource(CResourceSettings::GetResourceModule(), name, doubleType.c_str(),
                                                 bytes)) {
            return false;
        }
        artDpi = 2 * kBaseDpi;
        return true;
    };
    bool found = dpi > kBaseDpi && readDouble();
    if (!found) found = ReadBytes(name, type, bytes);
    if (!found) found = readDouble();
    if (!found) return nullptr;
    if (bytes.size() > 0x7FFFFFFF) return nullptr;
    int width = 0, height = 0, channels = 0;
    std::unique_ptr<stbi_uc, StbFree> rgba(
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4));
    if (!rgba) return nullptr;
    std::vector<unsigned char>().swap(bytes);

    std::unique_ptr<ImageData> image;
    if (dpi == artDpi || dpi <= 0) {
        image = CreateImageData(rgba.get(), width, height, mask);
    } else {
        // The picture's logical size is that of its 1x set (the 2x render of
        // an odd-sized source rounds up), scaled edge to edge.
        DpiScale scale(dpi);
        int logicalWidth = artDpi == kBaseDpi ? width : (width + 1) / 2;
        int logicalHeight = artDpi == kBaseDpi ? height : (height + 1) / 2;
        int outWidth = std::max(1, scale.Scale(logicalWidth));
        int outHeight = std::max(1, scale.Scale(logicalHeight));
        std::vector<uint8_t> resized = AreaResample(rgba.get(), width, height, outWidth, outHeight);
        if (resized.empty()) return nullptr;
        image = CreateImageData(resized.data(), outWidth, outHeight, mask);
    }
    if (!image) return nullptr;
    image->dpi = dpi > 0 ? dpi : artDpi;
    image->artDpi = artDpi;
    return image;
}

}  // namespace SkinUI

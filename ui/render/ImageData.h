#pragma once
// One loaded picture, ready to draw: a 32-bit top-down DIB section whose
// pixels are blue, green, red, alpha with the colour premultiplied by alpha
// (what AlphaBlend with AC_SRC_ALPHA expects). Owned by a picture table;
// draw infos only borrow it.

#include <windows.h>

#include <cstdint>
#include <memory>

#include "ui/core/UIString.h"

namespace SkinUI {

struct ImageData {
    ImageData() = default;
    ~ImageData();
    ImageData(const ImageData&) = delete;
    ImageData& operator=(const ImageData&) = delete;

    HBITMAP bitmap = nullptr;
    uint8_t* pixels = nullptr;  // the bitmap's memory, width * height * 4 bytes
    // A copy of the pixels as loaded, kept only for pictures loaded with
    // keep-unadjusted ("hsl"), for a later colour adjustment.
    std::unique_ptr<uint8_t[]> unadjustedPixels;
    int width = 0;
    int height = 0;
    // The scale the pixels are for: width is the logical width * dpi / 96.
    // `artDpi` is the set they were made from (96: the 1x pictures, 192:
    // the 2x ones); both differ when the set was resampled to the scale.
    int dpi = 96;
    int artDpi = 96;
    bool hasAlpha = false;  // some pixel is not opaque, or was masked out
    bool keepUnadjusted = false;
    CUIString resourceType;  // as requested at load
    uint32_t mask = 0;       // as requested at load
};

}  // namespace SkinUI

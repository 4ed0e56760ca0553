#pragma once
// Finds, decodes and converts one picture. Where the bytes come from:
//   - type "*COLOR*": no bytes; a 1 x 1 picture of the colour in the name;
//   - any other type: a resource of that type in the resource module (type
//     names match without regard to case);
//   - no type: a file under the resource path, or an entry of the resource
//     zip when one is set;
//   - and when that found nothing and the name is text: the name itself as
//     a file path.
// PNG is decoded to 8-bit RGBA, then premultiplied into a DIB section.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "ui/render/ImageData.h"

namespace SkinUI {

// `name` is text or a MAKEINTRESOURCE id; `type` null for a file. Null when
// the picture cannot be found or decoded.
//
// A resource may come in a 2x set, under the same name and the type with
// "2X" appended ("PNG2X"), beside or instead of the 1x one. Above 96 `dpi`
// the 2x set is taken where it exists, at 96 and below the 1x one. A set
// drawn at another scale than its own is resampled with the area filter to
// the scale's size, so that drawing it is a copy, never a stretch. Files
// and colours have one size.
std::unique_ptr<ImageData> LoadImageData(const wchar_t* name, const wchar_t* type, uint32_t mask, int dpi = 96);

// The conversion step on its own: straight RGBA rows in, the premultiplied
// bitmap out. Pixels whose premultiplied AARRGGBB value equals `mask`
// become fully transparent. Null when the bitmap cannot be created.
std::unique_ptr<ImageData> CreateImageData(const uint8_t* rgba, int width, int height, uint32_t mask);

// Encoded files above this size are not read.
constexpr size_t kMaxImageFileBytes = 64 * 1024 * 1024;

}  // namespace SkinUI

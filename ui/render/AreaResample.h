#pragma once
// Resizing a picture with an area (box) filter: every output pixel is the
// average of the input area it covers, partial pixels weighted by the part
// covered. Averaging happens on premultiplied colour, so a transparent
// pixel's colour, whatever it is, never bleeds into an opaque neighbour's
// edge (the dark fringe StretchBlt leaves around anti-aliased shapes).
// Works both ways: down from the 2x art to 125 % or 150 %, and up past 2x.
// Pure (no Win32): tested and fuzzed natively.

#include <cstdint>
#include <vector>

namespace SkinUI {

// `rgba`: straight (not premultiplied) 8-bit RGBA rows, `width` x `height`.
// Returns straight RGBA rows of `outWidth` x `outHeight`; empty when a size
// is not positive or past 0x7FFF.
std::vector<uint8_t> AreaResample(const uint8_t* rgba, int width, int height, int outWidth, int outHeight);

}  // namespace SkinUI

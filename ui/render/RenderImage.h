#pragma once
// Drawing pictures: one image attribute of a control (DrawImageInfo) and the
// geometry underneath it (RenderImage): destination inside the item,
// source part of the picture, nine-slice corners, a hollow centre, tiling
// and a constant fade.

#include <windows.h>

#include <cstdint>

#include "ui/render/ImageAttr.h"

namespace SkinUI {

class CImageTable;

// Loads the draw info's picture on first use (through `images`) and draws it
// into `dc` within `item`, skipping what lies outside `paint`. A null `dc`
// only loads. Returns false when there is no picture to draw: an empty
// string, or a load that failed (not retried until the string is set
// again). Without a table nothing happens and the result is true.
// The info's source and corners are logical pixels of the picture, its dest
// logical pixels of the window (device pixels with `deviceDest`, for
// callers that computed it from the item's device rectangle).
bool DrawImageInfo(HDC dc, CImageTable* images, const RECT& item, const RECT& paint, ImageDrawInfo& info,
                   bool deviceDest = false);

// Draws `source` of `bitmap` into `dest`: the corner sizes cut both into
// nine pieces; corners keep their size, edges stretch along, the centre
// stretches or tiles (the last tile of a row or column is cut, not scaled)
// and is left out with `hole`. Pieces outside `paint` are skipped. A picture
// with alpha, or a fade below 255, is blended (source-over, premultiplied);
// otherwise it is copied. The source is clamped to the bitmap.
bool RenderImage(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint, const RECT& source,
                 const RECT& corners, bool hasAlpha, uint8_t fade, bool hole, bool xTiled, bool yTiled);

using AlphaBlendProc = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

// The blend RenderImage uses: AlphaBlend from the system's msimg32.dll,
// looked up once, or OwnAlphaBlend when that cannot be found.
AlphaBlendProc GetAlphaBlend();
// Tests choose the routine; null goes back to the system's choice.
void SetAlphaBlendForTesting(AlphaBlendProc blend);

// The framework's own blend, with AlphaBlend's signature and arithmetic for
// AC_SRC_OVER with per-pixel (premultiplied) alpha and a constant alpha:
//   colour = src * k + dst * (1 - srcAlpha * k / 255), k = constant / 255
// and the destination alpha the same way.
BOOL WINAPI OwnAlphaBlend(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                          int sourceWidth, int sourceHeight, BLENDFUNCTION blend);

}  // namespace SkinUI

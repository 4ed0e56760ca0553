#include "ui/render/RenderImage.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "ui/core/DpiScale.h"
#include "ui/core/SystemLibrary.h"
#include "ui/render/ImageData.h"
#include "ui/render/ImageTable.h"

namespace SkinUI {

namespace {

AlphaBlendProc g_testBlend = nullptr;

// msimg32 is not a KnownDLL: only the system folder's copy, never one
// planted beside the program.
AlphaBlendProc SystemAlphaBlend()
{
    static const AlphaBlendProc proc = [] {
        auto found = SystemFunction<AlphaBlendProc>(L"msimg32.dll", "AlphaBlend");
        return found != nullptr ? found : &OwnAlphaBlend;
    }();
    return proc;
}

class MemoryDc {
public:
    explicit MemoryDc(HDC compatible) : m_dc(::CreateCompatibleDC(compatible)) {}
    ~MemoryDc()
    {
        if (m_old) ::SelectObject(m_dc, m_old);
        if (m_dc) ::DeleteDC(m_dc);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    bool Select(HGDIOBJ object)
    {
        HGDIOBJ old = ::SelectObject(m_dc, object);
        if (old == nullptr || old == HGDI_ERROR) return false;
        if (m_old == nullptr) m_old = old;
        return true;
    }
    HDC Get() const { return m_dc; }

private:
    HDC m_dc;
    HGDIOBJ m_old = nullptr;
};

class GdiBitmap {
public:
    explicit GdiBitmap(HBITMAP bitmap) : m_bitmap(bitmap) {}
    ~GdiBitmap()
    {
        if (m_bitmap) ::DeleteObject(m_bitmap);
    }
    GdiBitmap(const GdiBitmap&) = delete;
    GdiBitmap& operator=(const GdiBitmap&) = delete;
    HBITMAP Get() const { return m_bitmap; }

private:
    HBITMAP m_bitmap;
};

HBITMAP CreateDib32(int width, int height, uint8_t** pixels)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    *pixels = static_cast<uint8_t*>(bits);
    return bitmap;
}

// A 32-bit top-down DIB section selected into its own memory DC. The DC is
// declared last so it lets go of the bitmap before the bitmap is deleted.
class DibBuffer {
public:
    DibBuffer(int width, int height) : m_bitmap(CreateDib32(width, height, &m_pixels)), m_dc(nullptr)
    {
        if (m_bitmap.Get() == nullptr || m_dc.Get() == nullptr || !m_dc.Select(m_bitmap.Get())) m_pixels = nullptr;
    }
    bool IsValid() const { return m_pixels != nullptr; }
    HDC Dc() const { return m_dc.Get(); }
    uint8_t* Pixels() const { return m_pixels; }

private:
    uint8_t* m_pixels = nullptr;
    GdiBitmap m_bitmap;
    MemoryDc m_dc;
};

// Selects a picture into a memory DC kept per thread: creating a DC for each
// picture costs more than copying a small picture, and all drawing happens
// on the UI thread anyway.
class PictureSelection {
public:
    explicit PictureSelection(HBITMAP bitmap) : m_dc(CachedDc())
    {
        HGDIOBJ old = m_dc ? ::SelectObject(m_dc, bitmap) : nullptr;
        m_old = old == HGDI_ERROR ? nullptr : old;
    }
    ~PictureSelection()
    {
        if (m_old) ::SelectObject(m_dc, m_old);
    }
    PictureSelection(const PictureSelection&) = delete;
    PictureSelection& operator=(const PictureSelection&) = delete;
    HDC Dc() const { return m_old ? m_dc : nullptr; }

private:
    static HDC CachedDc()
    {
        thread_local MemoryDc cached(nullptr);
        return cached.Get();
    }
    HDC m_dc;
    HGDIOBJ m_old;
};

class StretchModeScope {
public:
    StretchModeScope(HDC dc, int mode) : m_dc(dc), m_old(::SetStretchBltMode(dc, mode)) {}
    ~StretchModeScope()
    {
        if (m_old) ::SetStretchBltMode(m_dc, m_old);
    }
    StretchModeScope(const StretchModeScope&) = delete;
    StretchModeScope& operator=(const StretchModeScope&) = delete;

private:
    HDC m_dc;
    int m_old;
};

inline unsigned Div255(unsigned value) { return (value + 127) / 255; }

struct PiecePainter {
    HDC dc;
    HDC memory;
    RECT paint;
    bool blended;
    BLENDFUNCTION blend;
    AlphaBlendProc alphaBlend;

    void Draw(const RECT& dest, const RECT& source) const
    {
        const int width = dest.right - dest.left, height = dest.bottom - dest.top;
        const int sourceWidth = source.right - source.left, sourceHeight = source.bottom - source.top;
        if (width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return;
        RECT visible;
        if (!::IntersectRect(&visible, &dest, &paint)) return;
        if (blended) {
            alphaBlend(dc, dest.left, dest.top, width, height, memory, source.left, source.top, sourceWidth,
                       sourceHeight, blend);
        } else if (width == sourceWidth && height == sourceHeight) {
            ::BitBlt(dc, dest.left, dest.top, width, height, memory, source.left, source.top, SRCCOPY);
        } else {
            ::StretchBlt(dc, dest.left, dest.top, width, height, memory, source.left, source.top, sourceWidth,
                         sourceHeight, SRCCOPY);
        }
    }
};

RECT MakeRect(int left, int top, int right, int bottom)
{
    RECT rect = {left, top, right, bottom};
    return rect;
}

RECT ToRect(const ImageRect& rect) { return MakeRect(rect.left, rect.top, rect.right, rect.bottom); }

// First tile index whose span reaches past `limit`, counting from `origin`.
int FirstTile(int origin, int limit, int tile) { return limit > origin ? (limit - origin) / tile : 0; }

void DrawCentre(const PiecePainter& painter, const RECT& dest, const RECT& source, bool xTiled, bool yTiled)
{
    const int tileWidth = source.right - source.left, tileHeight = source.bottom - source.top;
    if (tileWidth <= 0 || tileHeight <= 0 || dest.right <= dest.left || dest.bottom <= dest.top) return;
    const RECT& paint = painter.paint;
    if (!xTiled && !yTiled) {
        painter.Draw(dest, source);
    } else if (xTiled && !yTiled) {
        for (int x = dest.left + FirstTile(dest.left, paint.left, tileWidth) * tileWidth;
             x < dest.right && x < paint.right; x += tileWidth) {
            int width = std::min<int>(tileWidth, dest.right - x);
            painter.Draw(MakeRect(x, dest.top, x + width, dest.bottom),
                         MakeRect(source.left, source.top, source.left + width, source.bottom));
        }
    } else if (yTiled && !xTiled) {
        for (int y = dest.top + FirstTile(dest.top, paint.top, tileHeight) * tileHeight;
             y < dest.bottom && y < paint.bottom; y += tileHeight) {
            int height = std::min<int>(tileHeight, dest.bottom - y);
            painter.Draw(MakeRect(dest.left, y, dest.right, y + height),
                         MakeRect(source.left, source.top, source.right, source.top + height));
        }
    } else {
        for (int y = dest.top + FirstTile(dest.top, paint.top, tileHeight) * tileHeight;
             y < dest.bottom && y < paint.bottom; y += tileHeight) {
            int height = std::min<int>(tileHeight, dest.bottom - y);
            for (int x = dest.left + FirstTile(dest.left, paint.left, tileWidth) * tileWidth;
                 x < dest.right && x < paint.right; x += tileWidth) {
                int width = std::min<int>(tileWidth, dest.right - x);
                painter.Draw(MakeRect(x, y, x + width, y + height),
                             MakeRect(source.left, source.top, source.left + width, source.top + height));
            }
        }
    }
}

}  // namespace

AlphaBlendProc GetAlphaBlend() { return g_testBlend ? g_testBlend : SystemAlphaBlend(); }

void SetAlphaBlendForTesting(AlphaBlendProc blend) { g_testBlend = blend; }

BOOL WINAPI OwnAlphaBlend(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                          int sourceWidth, int sourceHeight, BLENDFUNCTION blend)
{
    if (width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return FALSE;
    DibBuffer above(width, height), below(width, height);
    if (!above.IsValid() || !below.IsValid()) return FALSE;
    {
        StretchModeScope mode(above.Dc(), COLORONCOLOR);
        if (width == sourceWidth && height == sourceHeight) {
            if (!::BitBlt(above.Dc(), 0, 0, width, height, source, sourceX, sourceY, SRCCOPY)) return FALSE;
        } else if (!::StretchBlt(above.Dc(), 0, 0, width, height, source, sourceX, sourceY, sourceWidth,
                                 sourceHeight, SRCCOPY)) {
            return FALSE;
        }
    }
    if (!::BitBlt(below.Dc(), 0, 0, width, height, dest, x, y, SRCCOPY)) return FALSE;
    ::GdiFlush();

    // Colours are premultiplied, so the source colour is only scaled by the
    // constant alpha; the destination keeps what the source lets through.
    const unsigned constant = blend.SourceConstantAlpha;
    const bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    const uint8_t* src = above.Pixels();
    uint8_t* dst = below.Pixels();
    for (size_t i = 0; i < count; ++i, src += 4, dst += 4) {
        const unsigned alpha = Div255((perPixel ? src[3] : 255u) * constant);
        const unsigned keep = 255 - alpha;
        for (int c = 0; c < 3; ++c)
            dst[c] = static_cast<uint8_t>(std::min(255u, Div255(src[c] * constant) + Div255(dst[c] * keep)));
        dst[3] = static_cast<uint8_t>(std::min(255u, alpha + Div255(dst[3] * keep)));
    }
    return ::BitBlt(dest, x, y, width, height, below.Dc(), 0, 0, SRCCOPY);
}

bool RenderImage(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint, const RECT& source,
                 const RECT& corners, bool hasAlpha, uint8_t fade, bool hole, bool xTiled, bool yTiled)
{
    if (dc == nullptr || bitmap == nullptr) return false;
    BITMAP info = {};
    if (::GetObjectW(bitmap, sizeof(info), &info) == 0) return false;

    // Nothing outside the picture is ever read: clamp the source to the
    // bitmap, and the corners to the source.
    RECT src = MakeRect(std::max<LONG>(source.left, 0), std::max<LONG>(source.top, 0),
                        std::min<LONG>(source.right, info.bmWidth), std::min<LONG>(source.bottom, std::abs(info.bmHeight)));
    const int sourceWidth = src.right - src.left, sourceHeight = src.bottom - src.top;
    if (sourceWidth <= 0 || sourceHeight <= 0) return false;
    const int left = std::min<int>(std::max<LONG>(corners.left, 0), sourceWidth);
    const int right = std::min<int>(std::max<LONG>(corners.right, 0), sourceWidth - left);
    const int top = std::min<int>(std::max<LONG>(corners.top, 0), sourceHeight);
    const int bottom = std::min<int>(std::max<LONG>(corners.bottom, 0), sourceHeight - top);

    PictureSelection memory(bitmap);
    if (memory.Dc() == nullptr) return false;
    StretchModeScope mode(dc, COLORONCOLOR);

    PiecePainter painter;
    painter.dc = dc;
    painter.memory = memory.Dc();
    painter.paint = paint;
    painter.blended = hasAlpha || fade < 255;
    painter.blend.BlendOp = AC_SRC_OVER;
    painter.blend.BlendFlags = 0;
    painter.blend.SourceConstantAlpha = fade;
    painter.blend.AlphaFormat = AC_SRC_ALPHA;
    painter.alphaBlend = painter.blended ? GetAlphaBlend() : nullptr;

    const int destWidth = dest.right - dest.left, destHeight = dest.bottom - dest.top;
    const bool noCorners = left == 0 && top == 0 && right == 0 && bottom == 0;
    if (!painter.blended && !hole && noCorners && destWidth == sourceWidth && destHeight == sourceHeight) {
        // One to one: copy only what the paint rectangle needs.
        RECT part;
        if (::IntersectRect(&part, &dest, &paint)) {
            ::BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, memory.Dc(),
                     src.left + part.left - dest.left, src.top + part.top - dest.top, SRCCOPY);
        }
        return true;
    }

    if (!hole) {
        DrawCentre(painter,
                   MakeRect(dest.left + left, dest.top + top, dest.right - right, dest.bottom - bottom),
                   MakeRect(src.left + left, src.top + top, src.right - right, src.bottom - bottom), xTiled, yTiled);
    }
    // Edges: top and bottom stretch across, left and right stretch down.
    painter.Draw(MakeRect(dest.left + left, dest.top, dest.right - right, dest.top + top),
                 MakeRect(src.left + left, src.top, src.right - right, src.top + top));
    painter.Draw(MakeRect(dest.left + left, dest.bottom - bottom, dest.right - right, dest.bottom),
                 MakeRect(src.left + left, src.bottom - bottom, src.right - right, src.bottom));
    painter.Draw(MakeRect(dest.left, dest.top + top, dest.left + left, dest.bottom - bottom),
                 MakeRect(src.left, src.top + top, src.left + left, src.bottom - bottom));
    painter.Draw(MakeRect(dest.right - right, dest.top + top, dest.right, dest.bottom - bottom),
                 MakeRect(src.right - right, src.top + top, src.right, src.bottom - bottom));
    // Corners at their own size.
    painter.Draw(MakeRect(dest.left, dest.top, dest.left + left, dest.top + top),
                 MakeRect(src.left, src.top, src.left + left, src.top + top));
    painter.Draw(MakeRect(dest.right - right, dest.top, dest.right, dest.top + top),
                 MakeRect(src.right - right, src.top, src.right, src.top + top));
    painter.Draw(MakeRect(dest.left, dest.bottom - bottom, dest.left + left, dest.bottom),
                 MakeRect(src.left, src.bottom - bottom, src.left + left, src.bottom));
    painter.Draw(MakeRect(dest.right - right, dest.bottom - bottom, dest.right, dest.bottom),
                 MakeRect(src.right - right, src.bottom - bottom, src.right, src.bottom));
    return true;
}

bool DrawImageInfo(HDC dc, CImageTable* images, const RECT& item, const RECT& paint, ImageDrawInfo& info,
                   bool deviceDest)
{
    if (images == nullptr) return true;
    if (info.image == nullptr) {
        if (info.loadAttempted) return false;
        info.loadAttempted = true;
        if (info.attrString.IsEmpty()) return false;
        ImageLoadRequest request = ParseImageAttr(info.attrString, info);
        info.imageName = request.name;
        info.image = images->FindOrLoadImage(request.name, request.isResource ? request.type.GetData() : nullptr,
                                             request.mask, request.keepUnadjusted);
        if (info.image == nullptr) return false;
    }
    if (dc == nullptr) return true;

    // The string's source and corners are in the picture's logical pixels,
    // its dest in the window's: each goes to device pixels at its own scale
    // (they differ only when a picture had no set for the window's scale).
    const ImageData& image = *info.image;
    const DpiScale art(image.dpi);
    const DpiScale window(images->Dpi());
    ImageRect source = {0, 0, image.width, image.height};
    if (!info.source.IsZero()) {
        source = ImageRect{art.Scale(info.source.left), art.Scale(info.source.top), art.Scale(info.source.right),
                           art.Scale(info.source.bottom)};
    }
    source.left = std::max(source.left, 0);
    source.top = std::max(source.top, 0);
    source.right = std::min(source.right, image.width);
    source.bottom = std::min(source.bottom, image.height);
    const ImageRect corners = {art.Scale(info.corners.left), art.Scale(info.corners.top),
                               art.Scale(info.corners.right), art.Scale(info.corners.bottom)};

    RECT dest = item;
    if (!info.dest.IsZero()) {
        ImageRect part = info.dest;
        if (!deviceDest) {
            part = ImageRect{window.Scale(part.left), window.Scale(part.top), window.Scale(part.right),
                             window.Scale(part.bottom)};
        }
        dest = MakeRect(item.left + part.left, item.top + part.top, std::min<LONG>(item.right, item.left + part.right),
                        std::min<LONG>(item.bottom, item.top + part.bottom));
    }
    RECT meets;
    if (::IntersectRect(&meets, &dest, &item) && ::IntersectRect(&meets, &dest, &paint)) {
        RenderImage(dc, image.bitmap, dest, paint, ToRect(source), ToRect(corners), image.hasAlpha, info.fade,
                    info.hole, info.xTiled, info.yTiled);
    }
    return true;
}

}  // namespace SkinUI

#pragma once
// Small owning wrappers for the GDI and USER handles the framework keeps:
// one owner per handle, released in the destructor, never copied.

#include <windows.h>

#include <utility>

namespace SkinUI {

// Owns a GDI object (font, bitmap, brush, pen, region) and deletes it.
template <typename Handle>
class CGdiObject {
public:
    CGdiObject() = default;
    explicit CGdiObject(Handle handle) : m_handle(handle) {}
    ~CGdiObject() { Reset(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    CGdiObject(CGdiObject&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    CGdiObject& operator=(CGdiObject&& other) noexcept
    {
        if (this != &other) Reset(std::exchange(other.m_handle, nullptr));
        return *this;
    }

    void Reset(Handle handle = nullptr)
    {
        if (m_handle != nullptr) ::DeleteObject(m_handle);
        m_handle = handle;
    }
    Handle Release() { return std::exchange(m_handle, nullptr); }
    Handle Get() const { return m_handle; }
    operator Handle() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    Handle m_handle = nullptr;
};

using CFontHandle = CGdiObject<HFONT>;
using CBitmapHandle = CGdiObject<HBITMAP>;
using CBrushHandle = CGdiObject<HBRUSH>;
using CPenHandle = CGdiObject<HPEN>;
using CRegionHandle = CGdiObject<HRGN>;

// Selects an object into a DC for the scope and puts the old one back.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(object != nullptr ? ::SelectObject(dc, object) : nullptr) {}
    ~CSelectObject()
    {
        if (m_old != nullptr) ::SelectObject(m_dc, m_old);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// A memory DC compatible with another DC; deleted with the object.
class CMemoryDC {
public:
    CMemoryDC() = default;
    explicit CMemoryDC(HDC compatible) : m_dc(::CreateCompatibleDC(compatible)) {}
    ~CMemoryDC() { Reset(); }
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;

    void Reset(HDC dc = nullptr)
    {
        if (m_dc != nullptr) ::DeleteDC(m_dc);
        m_dc = dc;
    }
    HDC Get() const { return m_dc; }
    operator HDC() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }

private:
    HDC m_dc = nullptr;
};

// A 32-bit top-down DIB section with its pixel pointer (blue, green, red,
// alpha per pixel; the first row is the top one).
class CDibSection {
public:
    CDibSection() = default;
    CDibSection(const CDibSection&) = delete;
    CDibSection& operator=(const CDibSection&) = delete;

    bool Create(HDC dc, int width, int height)
    {
        m_bitmap.Reset();
        m_pixels = nullptr;
        m_width = m_height = 0;
        if (width <= 0 || height <= 0) return false;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // negative: top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap == nullptr) return false;
        m_bitmap.Reset(bitmap);
        m_pixels = static_cast<DWORD*>(bits);
        m_width = width;
        m_height = height;
        return true;
    }
    void Reset()
    {
        m_bitmap.Reset();
        m_pixels = nullptr;
        m_width = m_height = 0;
    }

    HBITMAP Bitmap() const { return m_bitmap.Get(); }
    DWORD* Pixels() const { return m_pixels; }
    DWORD* Row(int y) const { return m_pixels + static_cast<size_t>(y) * m_width; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    CBitmapHandle m_bitmap;
    DWORD* m_pixels = nullptr;
    int m_width = 0;
    int m_height = 0;
};

// Narrows a DC's clipping region for the scope and restores the previous
// one (or none) afterwards.
class CClipGuard {
public:
    CClipGuard(HDC dc, const RECT& rect) : m_dc(dc) { Save(); ::IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom); }
    CClipGuard(HDC dc, HRGN region) : m_dc(dc)
    {
        Save();
        ::ExtSelectClipRgn(dc, region, RGN_AND);
    }
    ~CClipGuard() { ::SelectClipRgn(m_dc, m_hadClip ? m_saved.Get() : nullptr); }
    CClipGuard(const CClipGuard&) = delete;
    CClipGuard& operator=(const CClipGuard&) = delete;

private:
    void Save()
    {
        m_saved.Reset(::CreateRectRgn(0, 0, 0, 0));
        m_hadClip = ::GetClipRgn(m_dc, m_saved) == 1;
    }
    HDC m_dc;
    CRegionHandle m_saved;
    bool m_hadClip = false;
};

// The DC of a window for the scope (GetDC / ReleaseDC).
class CWindowDCGuard {
public:
    explicit CWindowDCGuard(HWND window) : m_window(window), m_dc(::GetDC(window)) {}
    ~CWindowDCGuard()
    {
        if (m_dc != nullptr) ::ReleaseDC(m_window, m_dc);
    }
    CWindowDCGuard(const CWindowDCGuard&) = delete;
    CWindowDCGuard& operator=(const CWindowDCGuard&) = delete;
    HDC Get() const { return m_dc; }
    operator HDC() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

}  // namespace SkinUI

// The manager's painting: layout on demand, double buffering into one
// offscreen bitmap, and per-pixel layered windows (a 32-bit buffer handed to
// UpdateLayeredWindow, optionally masked by the layered image's alpha).
#include <cstring>

#include "ui/controls/ControlUI.h"
#include "ui/core/UIManager.h"
#include "ui/core/UIManagerShared.h"
#include "ui/render/RenderImage.h"

namespace SkinUI {

RECT CUIManager::LayoutRect() const
{
    RECT rect = {};
    ::GetClientRect(m_window, &rect);
    if (m_layered) {
        rect.left += m_scale.Scale(m_layeredInsets.left);
        rect.top += m_scale.Scale(m_layeredInsets.top);
        rect.right -= m_scale.Scale(m_layeredInsets.right);
        rect.bottom -= m_scale.Scale(m_layeredInsets.bottom);
    }
    return rect;
}

bool CUIManager::UpdateLayout()
{
    m_updateNeeded = false;
    const bool layeredChangedBefore = m_layeredChanged;
    if (m_root->IsUpdateNeeded()) {
        // The buffers stay: the paint makes them again where the client size
        // changed (EnsureOffscreen, RenderLayeredPicture). Dropping them on
        // every layout of the whole tree (a page shown) re-rendered the
        // window's shape and sent the whole window again, several frames at
        // 200 %.
        m_root->PlaceAt(LayoutRect(), true);
    } else {
        std::vector<CControlUI*> stale;
        m_root->SearchTree(
            [](CControlUI* c, void* data) -> CControlUI* {
                if (!c->IsUpdateNeeded()) return nullptr;
                static_cast<std::vector<CControlUI*>*>(data)->push_back(c);
                return c;
            },
            &stale, UIFIND_VISIBLE | UIFIND_ME_FIRST | UIFIND_UPDATETEST);
        for (CControlUI* control : stale) {
            if (control->IsFloat() && control->GetParent() != nullptr) {
                control->PlaceAt(control->FloatRectIn(control->GetParent()->GetPos()), true);
            } else {
                control->PlaceAt(control->GetPos(), true);
            }
        }
    }
    if (m_firstLayout) {
        m_firstLayout = false;
        EmitNotify(m_root, L"windowinit");
    }
    // Only a change this layout made (it sized the window, say) ends the
    // paint: one from before is the paint's own to handle, and waiting for
    // a layout that changes nothing would wait for ever while anything
    // moves, every tick needing a layout again.
    if (m_layered && m_layeredChanged && !layeredChangedBefore) {
        InvalidateWindow();
        return false;
    }
    return true;
}

void CUIManager::OnPaint()
{
    if (m_root == nullptr) {
        ::ValidateRect(m_window, nullptr);
        ::SetRectEmpty(&m_dirty);
        return;
    }
    RECT client;
    ::GetClientRect(m_window, &client);
    RECT paint;
    if (m_layered) {
        if (!::IntersectRect(&paint, &m_dirty, &client)) {
            ::SetRectEmpty(&m_dirty);
            ::ValidateRect(m_window, nullptr);
            return;
        }
    } else if (!::GetUpdateRect(m_window, &paint, FALSE)) {
        return;
    }

    m_painting = true;
    // The buffer may still be on its way to the screen.
    WaitForPresenter();

    if (m_updateNeeded && !UpdateLayout()) {
        m_painting = false;
        return;
    }
    if (m_layered && m_layeredChanged) {
        if (m_offscreenDib.Pixels() != nullptr) {
            std::memset(m_offscreenDib.Pixels(), 0,
                        static_cast<size_t>(m_offscreenDib.Width()) * m_offscreenDib.Height() * 4);
        }
        m_root->PlaceAt(LayoutRect(), false);
        InvalidateWindow();
    }

    // The first paint focuses the first tab stop in view, once the layout
    // says where the controls are; a window painted while hidden keeps that
    // for the paint after it shows.
    if (m_focusNeeded && ::IsWindowVisible(m_window)) {
        m_focusNeeded = false;
        CControlUI* pending = m_focusPending;
        m_focusPending = nullptr;
        if (pending != nullptr) SetFocusTo(pending);
        else if (m_focus == nullptr) MoveFocusToTabStop(true);
    }

    if (m_layered) {
        // The layout above may have added damage, or sized the window:
        // take all of it, at the size the window has now.
        ::GetClientRect(m_window, &client);
        ::IntersectRect(&paint, &m_dirty, &client);
        ::SetRectEmpty(&m_dirty);
        if (!::IsRectEmpty(&paint)) {
            EnsureOffscreen(m_paintDC);
            PaintRect(paint, nullptr);
        }
    } else {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(m_window, &ps);
        PaintRect(ps.rcPaint, dc);
        ::EndPaint(m_window, &ps);
    }
    m_painting = false;
    if (m_updateNeeded) InvalidateWindow();
}

void CUIManager::PaintNow()
{
    if (m_window == nullptr) return;
    if (m_layered) {
        if (::IsRectEmpty(&m_dirty)) InvalidateWindow();
        // A first layout (or a changed layered setup) ends its paint early
        // and asks for another one.
        for (int pass = 0; pass < 3 && !::IsRectEmpty(&m_dirty); ++pass) OnPaint();
        // Now means on the screen, not on its way there.
        WaitForPresenter();
    } else {
        ::UpdateWindow(m_window);
    }
}

void CUIManager::PaintRect(const RECT& paint, HDC windowDC)
{
    if (!m_offscreenPaint && !m_layered) {
        m_root->PaintInto(windowDC, paint, nullptr);
        for (size_t i = 0; i < m_postPaintControls.size(); ++i) m_postPaintControls[i]->PostPaint(windowDC, paint);
        return;
    }
    EnsureOffscreen(windowDC != nullptr ? windowDC : m_paintDC);
    if (!m_offscreenDC) return;
    HDC dc = m_offscreenDC.Get();

    if (m_layered && m_layeredImage.IsEmpty() && m_offscreenDib.Pixels() != nullptr) {
        // Without a mask every pixel starts transparent; controls paint
        // their alpha in.
        for (int y = paint.top; y < paint.bottom; ++y) {
            std::memset(m_offscreenDib.Row(y) + paint.left, 0, static_cast<size_t>(paint.right - paint.left) * 4);
        }
    }
    {
        // Clipped to the paint rectangle: pictures are drawn whole (a
        // window-sized background for a small update), and GDI then blends
        // only the pixels inside the clip.
        CClipGuard clip(dc, paint);
        m_root->PaintInto(dc, paint, nullptr);
    }
    if (m_layered) PrintNativeChildren(paint);
    for (size_t i = 0; i < m_postPaintControls.size(); ++i) m_postPaintControls[i]->PostPaint(dc, paint);

    if (m_layered) {
        ApplyLayeredMask(paint);
        FlushLayered(paint);
        m_layeredChanged = false;
        return;
    }
    ::BitBlt(windowDC, paint.left, paint.top, paint.right - paint.left, paint.bottom - paint.top, dc, paint.left,
             paint.top, SRCCOPY);
    if (m_showDirty) {
        CSelectObject pen(windowDC, CUIManagerShared::Get().dirtyPen.Get());
        CSelectObject brush(windowDC, ::GetStockObject(HOLLOW_BRUSH));
        ::Rectangle(windowDC, paint.left, paint.top, paint.right, paint.bottom);
    }
}

void CUIManager::EnsureOffscreen(HDC reference)
{
    SIZE size = GetClientSize();
    if (size.cx <= 0 || size.cy <= 0 || reference == nullptr) return;
    if (m_offscreenDC) {
        int width = m_layered ? m_offscreenDib.Width() : 0;
        int height = m_layered ? m_offscreenDib.Height() : 0;
        if (!m_layered) {
            BITMAP info = {};
            ::GetObjectW(m_offscreenBitmap.Get(), sizeof(info), &info);
            width = info.bmWidth;
            height = info.bmHeight;
        }
        if (width == size.cx && height == size.cy) return;
    }
    ReleaseOffscreen();
    m_offscreenDC.Reset(::CreateCompatibleDC(reference));
    if (!m_offscreenDC) return;
    HBITMAP bitmap = nullptr;
    if (m_layered) {
        if (m_offscreenDib.Create(reference, size.cx, size.cy)) bitmap = m_offscreenDib.Bitmap();
    } else {
        m_offscreenBitmap.Reset(::CreateCompatibleBitmap(reference, size.cx, size.cy));
        bitmap = m_offscreenBitmap.Get();
    }
    if (bitmap == nullptr) {
        ReleaseOffscreen();
        return;
    }
    m_offscreenOldBitmap = ::SelectObject(m_offscreenDC, bitmap);
}

void CUIManager::ReleaseOffscreen()
{
    WaitForPresenter();
    m_layeredOnScreen = false;
    if (m_offscreenDC && m_offscreenOldBitmap != nullptr) ::SelectObject(m_offscreenDC, m_offscreenOldBitmap);
    m_offscreenOldBitmap = nullptr;
    m_offscreenDC.Reset();
    m_offscreenBitmap.Reset();
    m_offscreenDib.Reset();
    if (m_layeredImageDC && m_layeredImageOldBitmap != nullptr) {
        ::SelectObject(m_layeredImageDC, m_layeredImageOldBitmap);
    }
    m_layeredImageOldBitmap = nullptr;
    m_layeredImageDC.Reset();
    m_layeredImageDib.Reset();
}

void CUIManager::PrintNativeChildren(const RECT& paint)
{
    HDC dc = m_offscreenDC.Get();
    for (const auto& entry : m_nativeWindows) {
        HWND child = entry.first;
        if (!::IsWindowVisible(child)) continue;
        RECT rect;
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(HWND_DESKTOP, m_window, reinterpret_cast<POINT*>(&rect), 2);
        RECT visible;
        if (!::IntersectRect(&visible, &rect, &paint)) continue;
        // The child may leave its own clip region (Wine's edit control
        // does) and objects in our DC: every later paint of the window would
        // then be clipped to the child. Its state is put back as it was.
        const int saved = ::SaveDC(dc);
        ::SetWindowOrgEx(dc, -rect.left, -rect.top, nullptr);
        ::SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_NONCLIENT | PRF_ERASEBKGND);
        ::RestoreDC(dc, saved);
        // GDI leaves alpha 0 behind. A native child paints every pixel of
        // its rectangle, black ones too, so all of it is made opaque (only
        // the non-zero pixels would leave black text and carets see-through).
        RECT buffer = {0, 0, m_offscreenDib.Width(), m_offscreenDib.Height()};
        if (!::IntersectRect(&visible, &visible, &buffer)) continue;
        ::GdiFlush();
        for (int y = visible.top; y < visible.bottom; ++y) {
            DWORD* row = m_offscreenDib.Row(y);
            for (int x = visible.left; x < visible.right; ++x) row[x] |= 0xFF000000;
        }
    }
}

void CUIManager::ApplyLayeredMask(const RECT& paint)
{
    if (m_layeredImage.IsEmpty()) return;
    RenderLayeredPicture();
    if (!m_layeredImageHasAlpha || m_layeredImageDib.Pixels() == nullptr || m_offscreenDib.Pixels() == nullptr) {
        return;
    }
    RECT area;
    RECT buffer = {0, 0, m_offscreenDib.Width(), m_offscreenDib.Height()};
    RECT mask = {0, 0, m_layeredImageDib.Width(), m_layeredImageDib.Height()};
    if (!::IntersectRect(&area, &paint, &buffer) || !::IntersectRect(&area, &area, &mask)) return;
    for (int y = area.top; y < area.bottom; ++y) {
        DWORD* row = m_offscreenDib.Row(y);
        const DWORD* maskRow = m_layeredImageDib.Row(y);
        for (int x = area.left; x < area.right; ++x) {
            DWORD alpha = maskRow[x] >> 24;
            if (alpha == 255) {
                row[x] |= 0xFF000000;
                continue;
            }
            // Each channel times alpha, then divided: a partly transparent
            // edge keeps its colour, premultiplied as the system expects.
            DWORD pixel = row[x];
            DWORD b = (pixel & 0xFF) * alpha / 255;
            DWORD g = ((pixel >> 8) & 0xFF) * alpha / 255;
            DWORD r = ((pixel >> 16) & 0xFF) * alpha / 255;
            row[x] = (alpha << 24) | (r << 16) | (g << 8) | b;
        }
    }
}

void CUIManager::FlushLayered(const RECT& paint)
{
    if (!m_layeredPartialUpdate || UpdateLayeredIndirect() == nullptr) {
        m_layeredOnScreen = FlushLayeredWhole();
        return;
    }
    // The first frame at this size sets the window's size and is handed
    // over here; later ones change only pixels and can go from elsewhere.
    if (m_layeredOnScreen && ::IsWindowVisible(m_window)) {
        if (!m_presenter) {
            m_presenter = std::make_unique<CLayeredPresenter>(m_window, WM_UI_LAYERED_REFUSED);
            if (!m_presenter->Start()) m_presenter.reset();
        }
        if (m_presenter) {
            m_presenter->Present(m_offscreenDC.Get(), paint, m_layeredOpacity);
            return;
        }
    }
    // Refused (the window's size changed under the dirty rectangle, for
    // one): update the whole window instead.
    m_layeredOnScreen = UpdateLayeredFrame(GetClientSize(), &paint) || FlushLayeredWhole();
}

bool CUIManager::FlushLayeredWhole()
{
    if (!m_offscreenDC) return false;
    SIZE size = GetClientSize();
    if (size.cx != m_offscreenDib.Width() || size.cy != m_offscreenDib.Height()) return false;
    return UpdateLayeredFrame(size, nullptr);
}

bool CUIManager::UpdateLayeredFrame(SIZE size, const RECT* dirty)
{
    RECT window;
    ::GetWindowRect(m_window, &window);
    POINT destination = {window.left, window.top};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, m_layeredOpacity, AC_SRC_ALPHA};
    if (dirty == nullptr) {
        return ::UpdateLayeredWindow(m_window, nullptr, &destination, &size, m_offscreenDC.Get(), &source, 0, &blend,
                                     ULW_ALPHA) != FALSE;
    }
    UPDATELAYEREDWINDOWINFO info = {};
    info.cbSize = sizeof(info);
    info.pptDst = &destination;
    info.psize = &size;
    info.hdcSrc = m_offscreenDC.Get();
    info.pptSrc = &source;
    info.pblend = &blend;
    info.dwFlags = ULW_ALPHA;
    info.prcDirty = dirty;
    return UpdateLayeredIndirect()(m_window, &info) != FALSE;
}

void CUIManager::WaitForPresenter() const
{
    if (m_presenter) m_presenter->WaitIdle();
}

void CUIManager::ReleasePictures()
{
    m_layeredImageInfo.Reset();
    m_images.ReleaseImages(false);
}

void CUIManager::LoadLayeredPicture()
{
    m_layeredImageInfo.SetAttrString(m_layeredImage);
    RECT rect = LayoutRect();
    DrawImageInfo(nullptr, &m_images, rect, rect, m_layeredImageInfo);
}

void CUIManager::RenderLayeredPicture()
{
    SIZE size = GetClientSize();
    if (!m_layeredChanged && m_layeredImageDib.Pixels() != nullptr && m_layeredImageDib.Width() == size.cx &&
        m_layeredImageDib.Height() == size.cy) {
        return;
    }
    m_layeredImageHasAlpha = false;
    if (m_layeredImageDC && m_layeredImageOldBitmap != nullptr) ::SelectObject(m_layeredImageDC, m_layeredImageOldBitmap);
    m_layeredImageOldBitmap = nullptr;
    m_layeredImageDC.Reset(::CreateCompatibleDC(m_paintDC));
    if (!m_layeredImageDC || !m_layeredImageDib.Create(m_paintDC, size.cx, size.cy)) {
        m_layeredImageDib.Reset();
        return;
    }
    m_layeredImageOldBitmap = ::SelectObject(m_layeredImageDC, m_layeredImageDib.Bitmap());
    // Outside the picture (the insets) the window stays transparent.
    std::memset(m_layeredImageDib.Pixels(), 0, static_cast<size_t>(size.cx) * size.cy * 4);
    RECT rect = LayoutRect();
    if (m_layeredImageInfo.attrString != m_layeredImage) m_layeredImageInfo.SetAttrString(m_layeredImage);
    DrawImageInfo(m_layeredImageDC, &m_images, rect, rect, m_layeredImageInfo);
    m_layeredImageHasAlpha = m_layeredImageInfo.image != nullptr && m_layeredImageInfo.image->hasAlpha;
}

}  // namespace SkinUI

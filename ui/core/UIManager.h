#pragma once
// The per-window manager: owns the control tree of one native window and
// everything the tree needs at run time (painting, input routing, focus,
// capture and hover, timers, names, fonts, default attribute lists and the
// notification channel from the controls to the window's code).
//
// Ownership: the manager owns the root control (and through it the tree),
// its fonts, its pictures and its offscreen buffers. It never deletes a
// control while dispatching to it: a control that must go while one of its
// events is running is handed to AddDelayedCleanup.

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ui/core/DpiScale.h"
#include "ui/core/GdiHandles.h"
#include "ui/core/LayeredPresenter.h"
#include "ui/core/UIInterfaces.h"
#include "ui/core/UIString.h"
#include "ui/render/ImageAttr.h"
#include "ui/render/ImageTable.h"

namespace SkinUI {

class CControlUI;
class CAccessibleTree;

// A font registered with a manager (or shared by all of them).
struct TFontInfo {
    CFontHandle font;
    CUIString face;
    int size = 0;    // logical pixels, as the skin gives it
    int dpi = 96;    // the scale the handle was made for
    int height = 0;  // device pixels at that scale
    bool bold = false;
    bool underline = false;
    bool italic = false;
    TEXTMETRICW metrics = {};
};

// `face` where it can draw Chinese, else the first installed face that can
// (the texts are Chinese on every system, whatever its code page).
std::wstring ChineseCapableFace(const wchar_t* face);

// Private messages of the manager, posted to its own window.
enum : UINT {
    // Drains the queued asynchronous notifications and the delayed clean-up.
    WM_UI_ASYNC_NOTIFY = WM_APP + 1,
    // The system refused a layered frame handed over by the presenting
    // thread: the window is updated whole.
    WM_UI_LAYERED_REFUSED = WM_APP + 2,
    // A preloading thread's pictures are ready (lParam: its batch).
    WM_UI_PICTURES_READY = WM_APP + 3,
};

class CUIManager {
public:
    // System timer ids of a window: below kFirstUITimerId for the window's
    // own code (the carousel takes 1 and 2), then the controls' timers, then
    // the timer that flushes a layered window's dirty rectangle.
    static constexpr UINT_PTR kFirstUITimerId = 0x1000;
    static constexpr UINT_PTR kUITimerIdCount = 0x1000;
    static constexpr UINT_PTR kLayeredTimerId = kFirstUITimerId + kUITimerIdCount;
    static constexpr UINT kLayeredFlushMs = 10;
    // Notification messages reflected to native child windows come back as
    // the message number plus this (WM_NOTIFY -> 0x204E, ...).
    static constexpr UINT kReflectBase = 0x2000;

    CUIManager();
    ~CUIManager();
    CUIManager(const CUIManager&) = delete;
    CUIManager& operator=(const CUIManager&) = delete;

    // --- process-wide settings -------------------------------------------
    static HINSTANCE GetInstance();
    static void SetInstance(HINSTANCE instance);
    static void SetResourceModule(HINSTANCE module);
    static void SetResourcePath(const wchar_t* path);
    static CUIString GetInstancePath();
    static bool PreTranslateMessage(const MSG* message);

    // The process-wide language table: %{N} in drawn texts and tooltips is
    // replaced by entry N when there is one.
    static void SetLanguageText(int id, const wchar_t* text);
    static void ClearLanguageTexts();
    static CUIString ExpandLanguageText(const wchar_t* text);

    // --- window ----------------------------------------------------------
    void BindWindow(HWND window, const wchar_t* name = nullptr);
    // The window is gone (WM_NCDESTROY): stop its timers, give back its DC,
    // leave the list of live managers and keep the tree only for deletion.
    void ReleaseWindow();
    HWND GetWindow() const { return m_window; }
    HDC GetPaintDC() const { return m_paintDC; }
    const CUIString& GetName() const { return m_name; }
    POINT GetLastMousePos() const { return m_lastMouse; }
    SIZE GetClientSize() const;

    // --- scale -------------------------------------------------------------
    // The window's scale: the skin's logical pixels times dpi / 96. Set from
    // the window's DPI when it is bound, lowered where the window would not
    // fit its monitor's work area, and changed by SetDpi.
    const DpiScale& GetScale() const { return m_scale; }
    int GetDpi() const { return m_scale.Dpi(); }
    // The DPI the system gives `window`: GetDpiForWindow where the system
    // has it, else the screen's LOGPIXELSX.
    static int SystemDpi(HWND window);
    // Lays the window out again at `dpi`: fonts made again, pictures loaded
    // for the scale on their next paint, the window resized to its scaled
    // size unless `keepWindowSize` (WM_DPICHANGED, whose suggested rectangle
    // the caller takes).
    void SetDpi(int dpi, bool keepWindowSize = false);
    // Decodes, on a thread of its own, the pictures that `subtree`'s controls
    // name and have not loaded yet (resources only), at the window's scale;
    // they join the window's table on its own thread. A page about to be
    // shown then paints without decoding on the UI thread: at 200 % its
    // pictures have four times the pixels.
    void PreloadImages(CControlUI* subtree);
    // The same for pictures named by image attribute strings that no
    // control holds yet.
    void PreloadImages(const std::vector<CUIString>& attributes);

    // Each font id this window can use (its own and the shared ones) with
    // its height in device pixels at the window's scale, for the log.
    std::vector<std::pair<int, int>> FontHeights();

    // The window's geometry attributes: set in logical pixels, read in
    // device pixels at the window's scale.
    SIZE GetInitialSize() const { return ScaleSize(m_initialSize); }
    void SetInitialSize(int cx, int cy);
    RECT GetSizeBox() const { return ScaleRect(m_sizeBox); }
    void SetSizeBox(const RECT& box) { m_sizeBox = box; }
    RECT GetCaptionRect() const { return ScaleRect(m_caption); }
    void SetCaptionRect(const RECT& caption) { m_caption = caption; }
    SIZE GetRoundCorner() const { return ScaleSize(m_roundCorner); }
    void SetRoundCorner(int cx, int cy) { m_roundCorner = {cx, cy}; }
    SIZE GetMinInfo() const { return ScaleSize(m_minInfo); }
    void SetMinInfo(int cx, int cy);
    SIZE GetMaxInfo() const { return ScaleSize(m_maxInfo); }
    void SetMaxInfo(int cx, int cy);
    RECT ScaleRect(const RECT& logical) const
    {
        return RECT{m_scale.Scale(logical.left), m_scale.Scale(logical.top), m_scale.Scale(logical.right),
                    m_scale.Scale(logical.bottom)};
    }
    SIZE ScaleSize(const SIZE& logical) const { return SIZE{m_scale.Scale(logical.cx), m_scale.Scale(logical.cy)}; }
    bool IsNoActivate() const { return m_noActivate; }
    void SetNoActivate(bool noActivate);
    bool IsShowDirty() const { return m_showDirty; }
    void SetShowDirty(bool show) { m_showDirty = show; }
    void SetOffscreenPainting(bool offscreen);
    bool IsOffscreenPainting() const { return m_offscreenPaint; }

    // Whole-window alpha through the system's layered attributes; turns
    // per-pixel layering off.
    void SetOpacity(BYTE opacity);
    BYTE GetOpacity() const { return m_opacity; }
    // Per-pixel layering: the window is drawn with UpdateLayeredWindow from a
    // 32-bit buffer, repainted from a 10 ms timer while something is dirty.
    bool IsLayered() const { return m_layered; }
    // Whether focus is shown: as Windows does with its keyboard cues, only
    // once the keyboard has moved it in this window (or always, where the
    // user has asked the system for that).
    bool ShowsKeyboardCues() const { return m_keyboardCues; }
    void ShowKeyboardCues();
    void SetLayered(bool layered);
    void SetLayeredOpacity(BYTE opacity);
    BYTE GetLayeredOpacity() const { return m_layeredOpacity; }
    RECT GetLayeredInsets() const { return m_layeredInsets; }
    void SetLayeredInsets(const RECT& insets);
    // An image attribute string; turns layering on and masks the window's
    // alpha with the picture.
    void SetLayeredImage(const wchar_t* image);
    const CUIString& GetLayeredImage() const { return m_layeredImage; }
    // The buffer a layered window paints into (null until the first paint).
    const CDibSection& GetLayeredBuffer() const { return m_offscreenDib; }
    // The offscreen DC painting goes through (null before the first paint).
    HDC GetOffscreenDC() const { return m_offscreenDC.Get(); }
    // Hand the system only the dirty part of a layered window
    // (UpdateLayeredWindowIndirect with a dirty rectangle; the buffer keeps
    // the whole window, so the rest stays valid). On by default; off sends
    // the whole window every time.
    void SetLayeredPartialUpdate(bool partial) { m_layeredPartialUpdate = partial; }

    // Window attributes of a skin's root element.
    void SetWindowAttr(const wchar_t* name, const wchar_t* value);
    const wchar_t* GetWindowCustomAttr(const wchar_t* name) const;
    void SetWindowCustomAttr(const wchar_t* name, const wchar_t* value);

    // Default colours (ARGB), process-wide.
    static DWORD GetDefaultDisabledColor() { return s_defaultDisabledColor; }
    static DWORD GetDefaultFontColor() { return s_defaultFontColor; }
    static DWORD GetDefaultLinkFontColor() { return s_defaultLinkColor; }
    static DWORD GetDefaultLinkHoverFontColor() { return s_defaultLinkHoverColor; }
    static DWORD GetDefaultSelectedBkColor() { return s_defaultSelectedColor; }
    static void SetDefaultDisabledColor(DWORD color) { s_defaultDisabledColor = color; }
    static void SetDefaultFontColor(DWORD color) { s_defaultFontColor = color; }
    static void SetDefaultLinkFontColor(DWORD color) { s_defaultLinkColor = color; }
    static void SetDefaultLinkHoverFontColor(DWORD color) { s_defaultLinkHoverColor = color; }
    static void SetDefaultSelectedBkColor(DWORD color) { s_defaultSelectedColor = color; }

    // --- the control tree ------------------------------------------------
    // Takes ownership of `root`; an earlier tree is deleted once the current
    // message is done.
    bool AttachTree(CControlUI* root);
    bool InitTree(CControlUI* control, CControlUI* parent);
    CControlUI* GetRoot() const { return m_root; }
    CControlUI* FindByName(const wchar_t* name) const;
    // The deepest visible, mouse-enabled control of this tree at a client
    // point; later children before earlier ones, a cover before its control.
    CControlUI* FindAtPoint(POINT point) const;
    CControlUI* FindSubControlByName(CControlUI* parent, const wchar_t* name) const;
    // Refused when the name is empty or taken, or the control is not ours.
    bool RenameControl(CControlUI* control, const wchar_t* name);
    // Keeps the name table in step with a control of the tree that changed
    // its name.
    void NameChanged(CControlUI* control, const CUIString& oldName);
    // Called by a control that is going away.
    void ForgetControl(CControlUI* control);
    // A control's layout is stale: lay out again on the next paint.
    void RequestLayout();
    bool IsUpdateNeeded() const { return m_updateNeeded; }
    void InvalidateWindow();
    void Invalidate(const RECT& rect);
    // Lays out and paints now instead of waiting for the next WM_PAINT or
    // layered tick (tests and benchmarks); returns once the frame is shown.
    void PaintNow();

    // --- accessibility ---------------------------------------------------
    // What screen readers see of this window (ui/core/AccessibleObject.h).
    CAccessibleTree& Accessible() const;

    // --- focus and capture -----------------------------------------------
    CControlUI* GetFocus() const { return m_focus; }
    void SetFocusTo(CControlUI* control, bool focusWindow = true);
    // The control gets the focus on the next paint (after the layout).
    void SetFocusNeeded(CControlUI* control);
    // Tab and Shift+Tab: the next tab stop in reading order among the
    // controls in view.
    bool MoveFocusToTabStop(bool forward = true);
    // Visible, and inside the client area and every ancestor: a control the
    // user can see, and so one that may take the focus from the keyboard.
    bool IsInView(const CControlUI* control) const;
    void SetCapture();
    void ReleaseCapture();
    bool IsCaptured() const { return m_mouseCapture; }
    CControlUI* GetHot() const { return m_hot; }
    CControlUI* GetClickControl() const { return m_click; }

    // --- timers ----------------------------------------------------------
    bool SetUITimer(CControlUI* control, UINT id, UINT elapse);
    bool KillUITimer(CControlUI* control, UINT id);
    void KillUITimers(CControlUI* control);
    void RemoveAllTimers();
    // The system timer id behind a control's timer, or 0 (tests).
    UINT_PTR GetSystemTimerId(CControlUI* control, UINT id) const;

    // --- notifications ---------------------------------------------------
    void EmitNotify(CControlUI* control, const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0,
                    bool async = false, bool allowRepeat = true);
    void EmitNotify(TUINotify& notify, bool async = false, bool allowRepeat = true);
    void SetRouteByVirtualWnd(bool route) { m_routeByVirtualWnd = route; }
    bool IsRouteByVirtualWnd() const { return m_routeByVirtualWnd; }

    bool AddNotifyListener(INotifyUI* listener);
    bool RemoveNotifyListener(INotifyUI* listener);
    bool AddPreTranslateFilter(IMessageFilterUI* filter);
    bool RemovePreTranslateFilter(IMessageFilterUI* filter);
    bool AddMessageFilter(IMessageFilterUI* filter);
    bool RemoveMessageFilter(IMessageFilterUI* filter);
    bool AddKeyTranslator(ITranslateAccelerator* translator);
    bool RemoveKeyTranslator(ITranslateAccelerator* translator);
    bool AddPostPaint(CControlUI* control);
    bool RemovePostPaint(CControlUI* control);
    // A native child window that belongs to a control (an edit box's window).
    bool AddNativeWindow(CControlUI* control, HWND window);
    bool RemoveNativeWindow(HWND window);
    CControlUI* GetNativeWindowControl(HWND window) const;
    // Takes ownership: the control is deleted after the current message.
    void AddDelayedCleanup(CControlUI* control);
    bool AddMouseLeaveNeeded(CControlUI* control);
    bool RemoveMouseLeaveNeeded(CControlUI* control);

    // --- fonts and default attribute lists -------------------------------
    HFONT RegisterFont(int id, const wchar_t* face, int size, bool bold, bool underline, bool italic, bool shared);
    // Makes this font the default font: the manager's own, or with `shared`
    // the process-wide one.
    HFONT SetBaseFont(const wchar_t* face, int size, bool bold, bool underline, bool italic, bool shared);
    // An id without a font gives the default font.
    HFONT GetFont(int id);
    const TFontInfo* GetFontInfo(int id);
    const TFontInfo* GetDefaultFontInfo();
    void RemoveAllFonts();

    // --- pictures (this window's table, then the shared one) -------------
    CImageTable& GetImageTable() { return m_images; }
    ImageData* FindImage(const wchar_t* name) const { return m_images.FindImage(name); }
    ImageData* FindOrLoadImage(const wchar_t* name, const wchar_t* type, DWORD mask, bool keepUnadjusted = false)
    {
        return m_images.FindOrLoadImage(name, type, mask, keepUnadjusted);
    }
    ImageData* RegisterImage(const wchar_t* name, const wchar_t* type, DWORD mask, bool keepUnadjusted, bool shared)
    {
        return m_images.RegisterImage(name, type, mask, keepUnadjusted, shared);
    }
    void ReleaseImages(bool shared) { m_images.ReleaseImages(shared); }

    void RegisterElementDefaults(const wchar_t* elementName, const wchar_t* attrList, bool shared);
    const wchar_t* GetElementDefaults(const wchar_t* elementName) const;

    // --- messages --------------------------------------------------------
    bool RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    struct TTimerInfo {
        CControlUI* control;
        UINT id;
        HWND window;
        UINT_PTR systemId;
        bool killed;
    };

    bool TranslateAccelerators(const MSG* message);
    bool PreTranslate(const MSG* message);
    void DrainAsyncNotifications();
    void DeleteDelayedCleanup();
    void SendEvent(CControlUI* control, UINT type, WPARAM wParam = 0, LPARAM lParam = 0, WCHAR key = 0);
    // False when no running timer of this window has that system id.
    bool FireTimer(UINT_PTR systemId, LPARAM lParam);
    UINT_PTR NextSystemTimerId();

    // Seams to the picture tables: the manager's own pictures and the
    // layered window's alpha mask.
    void ReleasePictures();
    void LoadLayeredPicture();
    void RenderLayeredPicture();

    void OnPaint();
    // Lays out what needs it; false when the paint must end early.
    bool UpdateLayout();
    void PaintRect(const RECT& paint, HDC windowDC);
    void EnsureOffscreen(HDC reference);
    void ReleaseOffscreen();
    void PrintNativeChildren(const RECT& paint);
    void ApplyLayeredMask(const RECT& paint);
    void FlushLayered(const RECT& paint);
    bool FlushLayeredWhole();
    // The buffer to the screen at the window's place, `size` big: only the
    // `dirty` part when given (UpdateLayeredWindowIndirect), else whole.
    bool UpdateLayeredFrame(SIZE size, const RECT* dirty);
    // No frame of this window is in flight on the presenting thread.
    void WaitForPresenter() const;
    RECT LayoutRect() const;
    void TrackMouse();
    void OnMouseMove(POINT point, WPARAM wParam, LPARAM lParam);
    void OnMouseLeaveWindow();
    void ShowTooltip(CControlUI* control, POINT point);
    void HideTooltip();
    TFontInfo* FindFontEntry(int id);
    void MeasureFont(TFontInfo& info);
    void AdoptPreloadedImages(LPARAM batch);
    // Makes the font again when it was made for another scale.
    void RefreshFont(TFontInfo& info);
    static WORD MapKeyState();

    HWND m_window = nullptr;
    HDC m_paintDC = nullptr;
    CUIString m_name;

    // Offscreen painting: one buffer of the client size, kept across paints
    // and rebuilt when the layout is redone. Layered windows use a 32-bit
    // DIB so the alpha channel can be handed to UpdateLayeredWindow.
    CMemoryDC m_offscreenDC;
    CBitmapHandle m_offscreenBitmap;
    CDibSection m_offscreenDib;
    HGDIOBJ m_offscreenOldBitmap = nullptr;
    CMemoryDC m_layeredImageDC;
    CDibSection m_layeredImageDib;
    HGDIOBJ m_layeredImageOldBitmap = nullptr;
    bool m_layeredImageHasAlpha = false;
    // Frames after the first one at the window's size go out from a thread
    // of their own (see CLayeredPresenter).
    std::unique_ptr<CLayeredPresenter> m_presenter;
    bool m_layeredOnScreen = false;  // the buffer's size has been shown

    HWND m_tooltipWindow = nullptr;
    CControlUI* m_tooltipControl = nullptr;
    int m_lastTooltipWidth = -1;
    UINT m_hoverTime = 1000;

    bool m_noActivate = false;
    bool m_showDirty = false;
    bool m_firstLayout = true;
    bool m_updateNeeded = false;
    bool m_focusNeeded = false;
    bool m_offscreenPaint = true;
    bool m_layered = false;
    bool m_layeredChanged = false;
    bool m_layeredPartialUpdate = true;
    bool m_mouseTracking = false;
    bool m_mouseCapture = false;
    bool m_routeByVirtualWnd = false;
    bool m_asyncNotifyPosted = false;
    bool m_painting = false;

    CControlUI* m_root = nullptr;
    CControlUI* m_focus = nullptr;
    bool m_keyboardCues = false;
    CControlUI* m_hot = nullptr;
    CControlUI* m_click = nullptr;
    CControlUI* m_keyboard = nullptr;
    CControlUI* m_focusPending = nullptr;

    POINT m_lastMouse = {-1, -1};
    SIZE m_minInfo = {0, 0};
    SIZE m_maxInfo = {0, 0};
    SIZE m_initialSize = {0, 0};
    RECT m_sizeBox = {0, 0, 0, 0};
    RECT m_caption = {0, 0, 0, 0};
    DpiScale m_scale;
    int m_systemDpi = 96;  // before the fit to the work area
    SIZE m_roundCorner = {0, 0};
    BYTE m_opacity = 255;
    BYTE m_layeredOpacity = 255;
    RECT m_layeredInsets = {0, 0, 0, 0};
    RECT m_dirty = {0, 0, 0, 0};
    bool m_layeredTimerRunning = false;
    CUIString m_layeredImage;
    ImageDrawInfo m_layeredImageInfo;
    CImageTable m_images;

    UINT_PTR m_timerCounter = 0;  // offset of the last id handed out

    std::vector<INotifyUI*> m_notifyListeners;
    std::vector<TTimerInfo> m_timers;
    std::vector<IMessageFilterUI*> m_preTranslateFilters;
    std::vector<IMessageFilterUI*> m_messageFilters;
    std::vector<CControlUI*> m_postPaintControls;
    std::vector<std::pair<HWND, CControlUI*>> m_nativeWindows;
    std::vector<CControlUI*> m_delayedCleanup;
    std::vector<std::unique_ptr<TUINotify>> m_asyncNotifications;
    std::vector<CControlUI*> m_mouseLeaveNeeded;
    std::vector<ITranslateAccelerator*> m_keyTranslators;

    std::unordered_map<std::wstring, CControlUI*> m_names;
    std::map<int, std::unique_ptr<TFontInfo>> m_fonts;
    std::unique_ptr<TFontInfo> m_defaultFont;  // null: the process-wide one
    // Made at the first question of a screen reader (or the first event).
    mutable std::unique_ptr<CAccessibleTree> m_accessible;
    std::map<std::wstring, CUIString> m_elementDefaults;
    std::map<std::wstring, CUIString> m_customAttrs;

    static DWORD s_defaultDisabledColor;
    static DWORD s_defaultFontColor;
    static DWORD s_defaultLinkColor;
    static DWORD s_defaultLinkHoverColor;
    static DWORD s_defaultSelectedColor;
};

}  // namespace SkinUI

#pragma once
// The base of every control: geometry, appearance, state flags, the
// attributes every control understands, the default event handling and the
// painting order (background colour, background image, status image, text,
// border, cover).
//
// A control belongs to at most one container (which owns it) and is attached
// to the manager of its window. Controls are used on the UI thread only.

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "ui/controls/ImageSlot.h"
#include "ui/core/Delegate.h"
#include "ui/core/DpiScale.h"
#include "ui/core/UIInterfaces.h"
#include "ui/core/UIString.h"

namespace SkinUI {

class CUIManager;

// A rectangle of lengths (a padding, border widths) that the skin gives in
// logical pixels, kept together with its device pixels at the control's
// scale: painting reads the RECT fields, which are the device ones.
struct ScaledRect : RECT {
    ScaledRect() : RECT{0, 0, 0, 0} {}
    RECT logical = {0, 0, 0, 0};
    void Set(const RECT& value, const DpiScale& scale)
    {
        logical = value;
        Apply(scale);
    }
    void Apply(const DpiScale& scale)
    {
        left = scale.Scale(logical.left);
        top = scale.Scale(logical.top);
        right = scale.Scale(logical.right);
        bottom = scale.Scale(logical.bottom);
    }
};

struct ScaledSize : SIZE {
    ScaledSize() : SIZE{0, 0} {}
    SIZE logical = {0, 0};
    void Set(const SIZE& value, const DpiScale& scale)
    {
        logical = value;
        Apply(scale);
    }
    void Apply(const DpiScale& scale)
    {
        cx = scale.Scale(logical.cx);
        cy = scale.Scale(logical.cy);
    }
};

// A predicate for SearchTree: returns the control to stop at, or null.
using FindControlProc = CControlUI* (*)(CControlUI* control, void* data);

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    // Drops the control from its manager's mouse-leave list and deletes it.
    virtual void Delete();

    const CUIString& GetName() const { return m_name; }
    virtual void SetName(const wchar_t* name);
    virtual const wchar_t* ClassName() const;
    // This object when `name` is its class name (or a base's), else null.
    virtual void* InterfaceByName(const wchar_t* name);
    virtual UINT ControlFlags() const;
    // Rich edits that take Tab for themselves answer true.
    virtual bool WantsTab() const { return false; }
    // Activation (a click, a shortcut): only when visible and enabled.
    virtual bool Trigger();

    CUIManager* GetManager() const { return m_manager; }
    virtual void AttachManager(CUIManager* manager, CControlUI* parent, bool init = true);
    CControlUI* GetParent() const { return m_parent; }
    virtual CControlUI* GetCover() const { return m_cover; }
    // Takes ownership of `cover` (the old cover is deleted).
    virtual void SetCover(CControlUI* cover);

    virtual CUIString GetText() const { return m_text; }
    virtual void SetText(const wchar_t* text);

    // --- geometry --------------------------------------------------------
    // Positions (GetPos) are device pixels of the window; the fixed sizes,
    // paddings and float positions below are the skin's logical pixels, and
    // the layout scales them by the window's DPI (GetScale).
    const DpiScale& GetScale() const;
    // The window's scale changed (or the control joined a window): device
    // lengths are computed again and pictures let go, to be loaded at the
    // new scale. Not recursive: the manager visits every control.
    virtual void ScaleChanged();
    // The control's picture attributes (not its children's), for loading
    // them ahead of the first paint.
    virtual void CollectImages(std::vector<ImageDrawInfo*>& images);
    virtual const RECT& GetPos() const { return m_rcItem; }
    virtual RECT GetRelativePos() const;
    virtual RECT GetClientPos() const { return m_rcItem; }
    virtual void PlaceAt(RECT rect, bool invalidate = true);
    virtual void Move(SIZE offset, bool invalidate = true);
    int GetWidth() const { return m_rcItem.right - m_rcItem.left; }
    int GetHeight() const { return m_rcItem.bottom - m_rcItem.top; }
    int GetX() const { return m_rcItem.left; }
    int GetY() const { return m_rcItem.top; }

    RECT GetPadding() const { return m_padding; }
    virtual void SetPadding(const RECT& padding);
    SIZE GetFixedXY() const { return m_fixedXY; }
    virtual void SetFixedXY(SIZE xy);
    // Fractions of the parent's size added to the fixed position of a
    // floating control (left, top, right, bottom).
    void GetFloatPercent(double percent[4]) const;
    virtual void SetFloatPercent(const double percent[4]);
    int GetFixedWidth() const { return m_fixedWidth; }
    virtual void SetFixedWidth(int width);
    int GetFixedHeight() const { return m_fixedHeight; }
    virtual void SetFixedHeight(int height);
    int GetMinWidth() const { return m_minWidth; }
    virtual void SetMinWidth(int width);
    int GetMaxWidth() const { return m_maxWidth; }
    virtual void SetMaxWidth(int width);
    int GetMinHeight() const { return m_minHeight; }
    virtual void SetMinHeight(int height);
    int GetMaxHeight() const { return m_maxHeight; }
    virtual void SetMaxHeight(int height);
    // The rectangle a floating control takes inside a parent placed at
    // `parentPos` (fixed position plus the float percentages).
    RECT FloatRectIn(const RECT& parentPos) const;

    // --- texts and user data ---------------------------------------------
    const CUIString& GetToolTip() const { return m_tooltip; }
    virtual void SetToolTip(const wchar_t* text) { m_tooltip = text; }
    virtual void SetToolTipWidth(int width) { m_tooltipWidth = width; }
    int GetToolTipWidth() const { return m_tooltipWidth; }
    wchar_t GetShortcut() const { return m_shortcut; }
    virtual void SetShortcut(wchar_t ch) { m_shortcut = ch; }
    bool IsContextMenuUsed() const { return m_menuUsed; }
    virtual void SetContextMenuUsed(bool used) { m_menuUsed = used; }
    const CUIString& GetUserData() const { return m_userData; }
    virtual void SetUserData(const wchar_t* text) { m_userData = text; }
    UINT_PTR GetTag() const { return m_tag; }
    virtual void SetTag(UINT_PTR tag) { m_tag = tag; }
    // The virtual-window name used to route notifications: the control's
    // own, else its parent's.
    CUIString GetVirtualWnd() const;
    void SetVirtualWnd(const wchar_t* name) { m_virtualWnd = name; }

    // --- state -----------------------------------------------------------
    // Both the own flag and the one inherited from the ancestors.
    virtual bool IsVisible() const { return m_visible && m_internVisible; }
    virtual void SetVisible(bool visible = true);
    bool IsVerticalGradient() const { return m_verticalGradient; }
    virtual void SetVerticalGradient(bool vertical);
    virtual void SetInternVisible(bool visible = true);
    virtual bool IsEnabled() const { return m_enabled; }
    virtual void SetEnabled(bool enabled = true);
    virtual bool IsMouseEnabled() const { return m_mouseEnabled; }
    virtual void SetMouseEnabled(bool enabled = true);
    virtual bool IsKeyboardEnabled() const { return m_keyboardEnabled; }
    virtual void SetKeyboardEnabled(bool enabled = true);
    virtual bool IsFocused() const { return m_focused; }
    // Asks the manager to focus this control.
    virtual void SetFocus();
    virtual bool IsFloat() const { return m_float; }
    virtual void SetFloat(bool isFloat = true);

    // --- tree ------------------------------------------------------------
    virtual CControlUI* SearchTree(FindControlProc proc, void* data, UINT flags);

    // --- life cycle and events -------------------------------------------
    void Init();
    virtual void DoInit() {}
    void DispatchEvent(TUIEvent& event);
    virtual void HandleEvent(TUIEvent& event);

    // --- attributes ------------------------------------------------------
    virtual void SetAttr(const wchar_t* name, const wchar_t* value);
    // name="value" pairs separated by one space; stops at the first
    // malformed pair.
    void ApplyAttrList(const wchar_t* list);
    const wchar_t* GetCustomAttr(const wchar_t* name) const;
    void SetCustomAttr(const wchar_t* name, const wchar_t* value);

    // --- layout and painting ---------------------------------------------
    // The size the control wants within `available` (0 = stretch).
    virtual SIZE MeasureSize(SIZE available);
    bool IsUpdateNeeded() const { return m_updateNeeded; }
    // This control's layout is stale (it is placed again on the next paint).
    void NeedUpdate();
    // The parent's layout is stale (this control's size or visibility changed).
    void NeedParentUpdate();
    void Invalidate();

    // Paints the part of the control inside `paint`; false when `stop` was
    // reached (the caller stops painting too).
    virtual bool PaintInto(HDC dc, const RECT& paint, CControlUI* stop = nullptr);
    virtual void PaintBody(HDC dc);
    virtual void PaintBkColor(HDC dc);
    virtual void PaintBkImage(HDC dc);
    virtual void PaintStatusImage(HDC dc);
    virtual void PaintText(HDC dc);
    virtual void PaintBorder(HDC dc);
    virtual void PostPaint(HDC dc, const RECT& paint) {}

    // --- appearance ------------------------------------------------------
    DWORD GetBkColor() const { return m_bkColor; }
    void SetBkColor(DWORD color);
    DWORD GetBkColor2() const { return m_bkColor2; }
    void SetBkColor2(DWORD color);
    DWORD GetBkColor3() const { return m_bkColor3; }
    void SetBkColor3(DWORD color);
    const CUIString& GetBkImage() const { return m_bkImage.Text(); }
    void SetBkImage(const wchar_t* image);
    const CUIString& GetForeImage() const { return m_foreImage.Text(); }
    virtual void SetForeImage(const wchar_t* image);
    DWORD GetBorderColor() const { return m_borderColor; }
    void SetBorderColor(DWORD color);
    DWORD GetFocusBorderColor() const { return m_focusBorderColor; }
    void SetFocusBorderColor(DWORD color);
    RECT GetBorderSize() const { return m_borderSize.logical; }
    void SetBorderSize(const RECT& size);
    int GetBorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(int style);
    SIZE GetBorderRound() const { return m_borderRound.logical; }
    void SetBorderRound(SIZE round);
    bool IsColorHSL() const { return m_colorHSL; }
    void SetColorHSL(bool hsl) { m_colorHSL = hsl; }

    // Draws one of the control's image slots inside its rectangle (or inside
    // `dest`, relative to the control, when given).
    bool DrawImage(HDC dc, CImageSlot& image, const RECT* dest = nullptr, BYTE fade = 255);

    CDelegateList OnInit;
    CDelegateList OnDestroy;
    CDelegateList OnSize;
    CDelegateList OnEvent;
    CDelegateList OnNotify;
    CDelegateList OnPaint;
    CDelegateList OnPostPaint;

protected:
    // Sets an image slot from an attribute string and loads its picture when
    // the control already belongs to a window.
    void SetImageAttr(CImageSlot& image, const wchar_t* value);
    // Fills the control with a colour (ARGB).
    void FillColor(HDC dc, const RECT& rect, DWORD argb) const;
    // The rectangle painting is clipped to (control and paint rectangle).
    const RECT& PaintClip() const { return m_rcPaint; }

    CUIManager* m_manager = nullptr;
    CControlUI* m_parent = nullptr;
    CControlUI* m_cover = nullptr;
    CUIString m_virtualWnd;
    CUIString m_name;
    bool m_updateNeeded = true;
    bool m_menuUsed = false;
    RECT m_rcItem = {0, 0, 0, 0};
    RECT m_padding = {0, 0, 0, 0};
    SIZE m_fixedXY = {0, 0};
    int m_fixedWidth = 0;
    int m_fixedHeight = 0;
    int m_minWidth = 0;
    int m_minHeight = 0;
    int m_maxWidth = 9999;
    int m_maxHeight = 9999;
    bool m_visible = true;
    bool m_verticalGradient = true;
    bool m_internVisible = true;
    bool m_enabled = true;
    bool m_mouseEnabled = true;
    bool m_keyboardEnabled = true;
    bool m_focused = false;
    bool m_float = false;
    bool m_sizing = false;  // guards the size delegates against re-entry
    double m_floatPercent[4] = {0, 0, 0, 0};

    CUIString m_text;
    CUIString m_tooltip;
    CUIString m_userData;
    UINT_PTR m_tag = 0;
    wchar_t m_shortcut = 0;
    int m_tooltipWidth = 300;

    DWORD m_bkColor = 0;
    DWORD m_bkColor2 = 0;
    DWORD m_bkColor3 = 0;
    CImageSlot m_bkImage;
    CImageSlot m_foreImage;
    DWORD m_borderColor = 0;
    DWORD m_focusBorderColor = 0;
    int m_borderStyle = PS_SOLID;
    ScaledSize m_borderRound;
    ScaledRect m_borderSize;
    bool m_colorHSL = false;

    RECT m_rcPaint = {0, 0, 0, 0};
    std::map<std::wstring, CUIString> m_customAttrs;
};

}  // namespace SkinUI

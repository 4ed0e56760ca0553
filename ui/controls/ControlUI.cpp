#include "ui/controls/ControlUI.h"

#include <cwchar>

#include "ui/core/AttrValue.h"
#include "ui/core/GdiHandles.h"
#include "ui/core/UIManager.h"
#include "ui/markup/AttrList.h"
#include "ui/render/RenderImage.h"

namespace SkinUI {

namespace {

int Clamp(int value, int low, int high)
{
    if (value > high) value = high;
    if (value < low) value = low;
    return value;
}

RECT ReadRect(const wchar_t* value)
{
    long n[4];
    AttrValue::ToNumbers(value, n, 4);
    return RECT{n[0], n[1], n[2], n[3]};
}

// Four fractions with one separator character between them.
void ReadPercents(const wchar_t* value, double percent[4])
{
    const wchar_t* p = value;
    for (int i = 0; i < 4; ++i) {
        percent[i] = 0;
        if (p == nullptr) continue;
        wchar_t* end = nullptr;
        double v = std::wcstod(p, &end);
        if (end != p) percent[i] = v;
        if (*end == L'\0') {
            p = nullptr;
            continue;
        }
        p = end + 1;
    }
}

COLORREF ToColorRef(DWORD argb)
{
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

DWORD Mix(DWORD from, DWORD to, int step, int steps)
{
    if (steps <= 1) return from;
    DWORD result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        int a = (from >> shift) & 0xFF;
        int b = (to >> shift) & 0xFF;
        int c = a + (b - a) * step / (steps - 1);
        result |= static_cast<DWORD>(c & 0xFF) << shift;
    }
    return result;
}

}  // namespace

CControlUI::CControlUI() = default;

CControlUI::~CControlUI()
{
    OnDestroy.Invoke(this);
    delete m_cover;
    m_cover = nullptr;
    if (m_manager != nullptr) m_manager->ForgetControl(this);
}

void CControlUI::Delete()
{
    if (m_manager != nullptr) m_manager->RemoveMouseLeaveNeeded(this);
    delete this;
}

void CControlUI::SetName(const wchar_t* name)
{
    if (m_name == (name != nullptr ? name : L"")) return;
    CUIString old = m_name;
    m_name = name;
    // While the builder configures a control it is attached without a
    // parent and not yet part of the tree: the name table learns its name
    // when the tree is attached.
    if (m_manager != nullptr && (m_parent != nullptr || m_manager->GetRoot() == this)) {
        m_manager->NameChanged(this, old);
    }
}

const wchar_t* CControlUI::ClassName() const { return L"Control"; }

void* CControlUI::InterfaceByName(const wchar_t* name)
{
    if (name != nullptr && std::wcscmp(name, L"Control") == 0) return this;
    return nullptr;
}

UINT CControlUI::ControlFlags() const { return 0; }

bool CControlUI::Trigger() { return IsVisible() && IsEnabled(); }

void CControlUI::AttachManager(CUIManager* manager, CControlUI* parent, bool init)
{
    if (m_cover != nullptr) m_cover->AttachManager(manager, this, init);
    // Device lengths follow the scale of the window the control joins (one
    // built before it had a window was at 100 %).
    const int oldDpi = m_manager != nullptr ? m_manager->GetDpi() : kBaseDpi;
    const bool rescale = manager != nullptr && manager->GetDpi() != oldDpi;
    m_manager = manager;
    m_parent = parent;
    if (rescale) ScaleChanged();
    if (init) Init();
}

void CControlUI::CollectImages(std::vector<ImageDrawInfo*>& images)
{
    images.push_back(&m_bkImage.Info());
    images.push_back(&m_foreImage.Info());
}

const DpiScale& CControlUI::GetScale() const
{
    static const DpiScale base;
    return m_manager != nullptr ? m_manager->GetScale() : base;
}

void CControlUI::ScaleChanged()
{
    const DpiScale& scale = GetScale();
    m_borderSize.Apply(scale);
    m_borderRound.Apply(scale);
    m_bkImage.Forget();
    m_foreImage.Forget();
    NeedUpdate();
}

void CControlUI::SetCover(CControlUI* cover)
{
    if (cover == m_cover) return;
    delete m_cover;
    m_cover = cover;
    if (m_cover != nullptr) {
        m_cover->m_parent = this;
        if (m_manager != nullptr) m_manager->InitTree(m_cover, this);
        m_cover->SetInternVisible(IsVisible());
    }
    NeedUpdate();
}

void CControlUI::SetText(const wchar_t* text)
{
    if (m_text == (text != nullptr ? text : L"")) return;
    m_text = text;
    Invalidate();
}

RECT CControlUI::GetRelativePos() const
{
    RECT rect = m_rcItem;
    if (m_parent != nullptr) {
        const RECT& parent = m_parent->GetPos();
        ::OffsetRect(&rect, -parent.left, -parent.top);
    }
    return rect;
}

RECT CControlUI::FloatRectIn(const RECT& parentPos) const
{
    const DpiScale& scale = GetScale();
    int width = parentPos.right - parentPos.left;
    int height = parentPos.bottom - parentPos.top;
    // Edges are scaled, not the width: floating neighbours that meet in the
    // skin meet on screen.
    RECT rect;
    rect.left = static_cast<LONG>(width * m_floatPercent[0]) + scale.Scale(m_fixedXY.cx);
    rect.top = static_cast<LONG>(height * m_floatPercent[1]) + scale.Scale(m_fixedXY.cy);
    rect.right = static_cast<LONG>(width * m_floatPercent[2]) + scale.Scale(m_fixedXY.cx + m_fixedWidth);
    rect.bottom = static_cast<LONG>(height * m_floatPercent[3]) + scale.Scale(m_fixedXY.cy + m_fixedHeight);
    ::OffsetRect(&rect, parentPos.left, parentPos.top);
    return rect;
}

void CControlUI::PlaceAt(RECT rect, bool invalidate)
{
    if (rect.right < rect.left) rect.right = rect.left;
    if (rect.bottom < rect.top) rect.bottom = rect.top;

    if (m_float && m_parent != nullptr) {
        // Keep the fixed geometry in step with where the control ended up,
        // so the next layout of the parent puts it at the same place. The
        // parent's own layout already places it there: converting its
        // device pixels back to logical ones could only add rounding.
        const RECT& parent = m_parent->GetPos();
        RECT placed = FloatRectIn(parent);
        if (!::EqualRect(&placed, &rect)) {
            const DpiScale& scale = GetScale();
            int width = parent.right - parent.left;
            int height = parent.bottom - parent.top;
            RECT relative = rect;
            ::OffsetRect(&relative, -parent.left, -parent.top);
            m_fixedXY.cx = scale.Unscale(relative.left - static_cast<LONG>(width * m_floatPercent[0]));
            m_fixedXY.cy = scale.Unscale(relative.top - static_cast<LONG>(height * m_floatPercent[1]));
            m_fixedWidth = scale.Unscale(relative.right - static_cast<LONG>(width * m_floatPercent[2])) - m_fixedXY.cx;
            m_fixedHeight =
                scale.Unscale(relative.bottom - static_cast<LONG>(height * m_floatPercent[3])) - m_fixedXY.cy;
        }
    }

    RECT old = m_rcItem;
    m_rcItem = rect;
    if (m_manager == nullptr) return;

    if (!m_sizing) {
        m_sizing = true;
        OnSize.Invoke(this);
        m_sizing = false;
    }
    m_updateNeeded = false;

    if (invalidate && IsVisible()) {
        RECT dirty = rect;
        if (!::IsRectEmpty(&old)) ::UnionRect(&dirty, &old, &rect);
        bool show = true;
        for (CControlUI* ancestor = m_parent; ancestor != nullptr; ancestor = ancestor->GetParent()) {
            if (!ancestor->IsVisible() || !::IntersectRect(&dirty, &dirty, &ancestor->GetPos())) {
                show = false;
                break;
            }
        }
        if (show) m_manager->Invalidate(dirty);
    }

    if (m_cover != nullptr && m_cover->IsVisible()) {
        if (m_cover->IsFloat()) {
            m_cover->PlaceAt(m_cover->FloatRectIn(m_rcItem), false);
        } else {
            RECT cover = m_rcItem;
            const DpiScale& scale = GetScale();
            cover.right = cover.left + Clamp(GetWidth(), scale.Scale(m_cover->GetMinWidth()),
                                             scale.Scale(m_cover->GetMaxWidth()));
            cover.bottom = cover.top + Clamp(GetHeight(), scale.Scale(m_cover->GetMinHeight()),
                                             scale.Scale(m_cover->GetMaxHeight()));
            m_cover->PlaceAt(cover, false);
        }
    }
}

void CControlUI::Move(SIZE offset, bool invalidate)
{
    RECT old = m_rcItem;
    ::OffsetRect(&m_rcItem, offset.cx, offset.cy);
    if (m_cover != nullptr) m_cover->Move(offset, false);
    if (invalidate && m_manager != nullptr && IsVisible()) {
        RECT dirty;
        ::UnionRect(&dirty, &old, &m_rcItem);
        m_manager->Invalidate(dirty);
    }
}

void CControlUI::SetPadding(const RECT& padding)
{
    m_padding = padding;
    NeedParentUpdate();
}

void CControlUI::SetFixedXY(SIZE xy)
{
    m_fixedXY = xy;
    NeedParentUpdate();
}

void CControlUI::GetFloatPercent(double percent[4]) const
{
    for (int i = 0; i < 4; ++i) percent[i] = m_floatPercent[i];
}

void CControlUI::SetFloatPercent(const double percent[4])
{
    for (int i = 0; i < 4; ++i) m_floatPercent[i] = percent[i];
    NeedParentUpdate();
}

void CControlUI::SetFixedWidth(int width)
{
    if (width < 0) return;
    m_fixedWidth = width;
    NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int height)
{
    if (height < 0) return;
    m_fixedHeight = height;
    NeedParentUpdate();
}

void CControlUI::SetMinWidth(int width)
{
    if (width < 0 || m_minWidth == width) return;
    m_minWidth = width;
    NeedParentUpdate();
}

void CControlUI::SetMaxWidth(int width)
{
    if (width < 0 || m_maxWidth == width) return;
    m_maxWidth = width;
    NeedParentUpdate();
}

void CControlUI::SetMinHeight(int height)
{
    if (height < 0 || m_minHeight == height) return;
    m_minHeight = height;
    NeedParentUpdate();
}

void CControlUI::SetMaxHeight(int height)
{
    if (height < 0 || m_maxHeight == height) return;
    m_maxHeight = height;
    NeedParentUpdate();
}

CUIString CControlUI::GetVirtualWnd() const
{
    if (!m_virtualWnd.IsEmpty()) return m_virtualWnd;
    return m_parent != nullptr ? m_parent->GetVirtualWnd() : CUIString();
}

void CControlUI::SetVisible(bool visible)
{
    if (m_visible == visible) return;
    bool wasVisible = IsVisible();
    m_visible = visible;
    if (m_focused && !IsVisible() && m_manager != nullptr) m_manager->SetFocusTo(nullptr, false);
    if (IsVisible() != wasVisible) NeedParentUpdate();
    if (m_cover != nullptr) m_cover->SetInternVisible(IsVisible());
}

void CControlUI::SetInternVisible(bool visible)
{
    m_internVisible = visible;
    if (!visible && m_focused && m_manager != nullptr) m_manager->SetFocusTo(nullptr, false);
    if (m_cover != nullptr) m_cover->SetInternVisible(IsVisible());
}

void CControlUI::SetVerticalGradient(bool vertical)
{
    m_verticalGradient = vertical;
    Invalidate();
}

void CControlUI::SetEnabled(bool enabled)
{
    if (m_enabled == enabled) return;
    m_enabled = enabled;
    if (!enabled && m_focused && m_manager != nullptr) m_manager->SetFocusTo(nullptr, false);
    Invalidate();
}

void CControlUI::SetMouseEnabled(bool enabled) { m_mouseEnabled = enabled; }

void CControlUI::SetKeyboardEnabled(bool enabled) { m_keyboardEnabled = enabled; }

void CControlUI::SetFocus()
{
    if (m_manager != nullptr) m_manager->SetFocusTo(this);
}

void CControlUI::SetFloat(bool isFloat)
{
    if (m_float == isFloat) return;
    m_float = isFloat;
    NeedParentUpdate();
}

CControlUI* CControlUI::SearchTree(FindControlProc proc, void* data, UINT flags)
{
    if ((flags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
    if ((flags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
    if ((flags & UIFIND_HITTEST) && !::PtInRect(&m_rcItem, *static_cast<POINT*>(data))) return nullptr;
    // In a hit test a control that ignores the mouse is never the answer
    // itself (a cover may still be).
    bool selfEligible = !(flags & UIFIND_HITTEST) || m_mouseEnabled;
    bool updateTest = (flags & UIFIND_UPDATETEST) != 0;

    if ((flags & UIFIND_ME_FIRST) && selfEligible) {
        if (CControlUI* found = proc(this, data)) return updateTest ? nullptr : found;
    }
    if (m_cover != nullptr) {
        if (CControlUI* found = m_cover->SearchTree(proc, data, flags)) return found;
    }
    if (!(flags & UIFIND_ME_FIRST) && selfEligible) {
        CControlUI* found = proc(this, data);
        return updateTest ? nullptr : found;
    }
    return nullptr;
}

void CControlUI::Init()
{
    DoInit();
    OnInit.Invoke(this);
}

void CControlUI::DispatchEvent(TUIEvent& event)
{
    if (OnEvent.Invoke(&event)) HandleEvent(event);
}

void CControlUI::HandleEvent(TUIEvent& event)
{
    switch (event.type) {
    case UIEVENT_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));  // IDC_ARROW
        return;
    case UIEVENT_SETFOCUS:
        m_focused = true;
        Invalidate();
        return;
    case UIEVENT_KILLFOCUS:
        m_focused = false;
        Invalidate();
        return;
    case UIEVENT_TIMER:
        if (m_manager != nullptr) m_manager->EmitNotify(this, L"timer", event.wParam, event.lParam);
        return;
    case UIEVENT_CONTEXTMENU:
        if (IsContextMenuUsed()) {
            if (m_manager != nullptr) m_manager->EmitNotify(this, L"menu", event.wParam, event.lParam);
            return;
        }
        break;
    default:
        break;
    }
    if (m_parent != nullptr) m_parent->HandleEvent(event);
}

void CControlUI::SetAttr(const wchar_t* name, const wchar_t* value)
{
    using namespace AttrValue;
    if (name == nullptr) return;
    if (value == nullptr) value = L"";
    if (std::wcscmp(name, L"pos") == 0) {
        RECT r = ReadRect(value);
        SetFixedXY({r.left, r.top});
        SetFixedWidth(r.right - r.left);
        SetFixedHeight(r.bottom - r.top);
    } else if (std::wcscmp(name, L"geometry") == 0) {
        RECT r = ReadRect(value);
        SetFixedXY({r.left, r.top});
        SetFixedWidth(r.right);
        SetFixedHeight(r.bottom);
    } else if (std::wcscmp(name, L"padding") == 0) {
        SetPadding(ReadRect(value));
    } else if (std::wcscmp(name, L"float") == 0) {
        if (std::wcschr(value, L',') != nullptr) {
            double percent[4];
            ReadPercents(value, percent);
            SetFloatPercent(percent);
            SetFloat(true);
        } else {
            SetFloat(IsTrue(value));
        }
    } else if (std::wcscmp(name, L"width") == 0) {
        SetFixedWidth(ToLong(value));
    } else if (std::wcscmp(name, L"height") == 0) {
        SetFixedHeight(ToLong(value));
    } else if (std::wcscmp(name, L"minwidth") == 0) {
        SetMinWidth(ToLong(value));
    } else if (std::wcscmp(name, L"minheight") == 0) {
        SetMinHeight(ToLong(value));
    } else if (std::wcscmp(name, L"maxwidth") == 0) {
        SetMaxWidth(ToLong(value));
    } else if (std::wcscmp(name, L"maxheight") == 0) {
        SetMaxHeight(ToLong(value));
    } else if (std::wcscmp(name, L"bkcolor") == 0 || std::wcscmp(name, L"bkcolor1") == 0) {
        SetBkColor(ToColor(value));
    } else if (std::wcscmp(name, L"bkcolor2") == 0) {
        SetBkColor2(ToColor(value));
    } else if (std::wcscmp(name, L"bkcolor3") == 0) {
        SetBkColor3(ToColor(value));
    } else if (std::wcscmp(name, L"bkVerticalGradient") == 0) {
        SetVerticalGradient(IsTrue(value));
    } else if (std::wcscmp(name, L"bordercolor") == 0) {
        SetBorderColor(ToColor(value));
    } else if (std::wcscmp(name, L"focusbordercolor") == 0) {
        SetFocusBorderColor(ToColor(value));
    } else if (std::wcscmp(name, L"bordersize") == 0) {
        if (std::wcschr(value, L',') != nullptr) {
            SetBorderSize(ReadRect(value));
        } else {
            LONG n = ToLong(value);
            SetBorderSize({n, n, n, n});
        }
    } else if (std::wcscmp(name, L"borderstyle") == 0) {
        SetBorderStyle(ToLong(value));
    } else if (std::wcscmp(name, L"borderround") == 0) {
        long n[2];
        ToNumbers(value, n, 2);
        SetBorderRound({n[0], n[1]});
    } else if (std::wcscmp(name, L"bkimage") == 0) {
        SetBkImage(value);
    } else if (std::wcscmp(name, L"colorhsl") == 0) {
        SetColorHSL(IsTrue(value));
    } else if (std::wcscmp(name, L"name") == 0) {
        SetName(value);
    } else if (std::wcscmp(name, L"text") == 0) {
        SetText(value);
    } else if (std::wcscmp(name, L"tooltip") == 0) {
        SetToolTip(value);
    } else if (std::wcscmp(name, L"userdata") == 0) {
        SetUserData(value);
    } else if (std::wcscmp(name, L"tag") == 0) {
        SetTag(static_cast<UINT_PTR>(ToLong(value)));
    } else if (std::wcscmp(name, L"enabled") == 0) {
        SetEnabled(IsTrue(value));
    } else if (std::wcscmp(name, L"mouse") == 0) {
        SetMouseEnabled(IsTrue(value));
    } else if (std::wcscmp(name, L"keyboard") == 0) {
        SetKeyboardEnabled(IsTrue(value));
    } else if (std::wcscmp(name, L"visible") == 0) {
        SetVisible(IsTrue(value));
    } else if (std::wcscmp(name, L"shortcut") == 0) {
        SetShortcut(value[0]);
    } else if (std::wcscmp(name, L"menu") == 0) {
        SetContextMenuUsed(IsTrue(value));
    } else if (std::wcscmp(name, L"virtualwnd") == 0) {
        SetVirtualWnd(value);
    } else {
        SetCustomAttr(name, value);
    }
}

void CControlUI::ApplyAttrList(const wchar_t* list)
{
    for (const AttrPair& pair : ParseAttrList(list)) SetAttr(pair.name, pair.value);
}

const wchar_t* CControlUI::GetCustomAttr(const wchar_t* name) const
{
    if (name == nullptr) return nullptr;
    auto it = m_customAttrs.find(name);
    return it != m_customAttrs.end() ? it->second.GetData() : nullptr;
}

void CControlUI::SetCustomAttr(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || *name == L'\0') return;
    m_customAttrs[name] = value;
}

SIZE CControlUI::MeasureSize(SIZE available)
{
    const DpiScale& scale = GetScale();
    return SIZE{scale.Scale(m_fixedWidth), scale.Scale(m_fixedHeight)};
}

void CControlUI::NeedUpdate()
{
    m_updateNeeded = true;
    Invalidate();
    if (m_manager != nullptr) m_manager->RequestLayout();
}

void CControlUI::NeedParentUpdate()
{
    if (m_parent != nullptr) {
        m_parent->NeedUpdate();
        m_parent->Invalidate();
    } else {
        NeedUpdate();
    }
    if (m_manager != nullptr) m_manager->RequestLayout();
}

void CControlUI::Invalidate()
{
    if (m_manager == nullptr || !IsVisible()) return;
    RECT dirty = m_rcItem;
    for (CControlUI* ancestor = m_parent; ancestor != nullptr; ancestor = ancestor->GetParent()) {
        if (!ancestor->IsVisible() || !::IntersectRect(&dirty, &dirty, &ancestor->GetPos())) return;
    }
    if (!::IsRectEmpty(&dirty)) m_manager->Invalidate(dirty);
}

bool CControlUI::PaintInto(HDC dc, const RECT& paint, CControlUI* stop)
{
    if (this == stop) return false;
    if (!::IntersectRect(&m_rcPaint, &paint, &m_rcItem)) return true;
    if (!OnPaint.Invoke(this)) return true;

    if (m_borderRound.cx > 0 || m_borderRound.cy > 0) {
        CRegionHandle round(::CreateRoundRectRgn(m_rcItem.left, m_rcItem.top, m_rcItem.right + 1,
                                                 m_rcItem.bottom + 1, m_borderRound.cx, m_borderRound.cy));
        CClipGuard clip(dc, round);
        PaintBody(dc);
    } else {
        PaintBody(dc);
    }
    if (m_cover != nullptr && m_cover->IsVisible()) {
        if (!m_cover->PaintInto(dc, paint, stop)) return false;
    }
    return true;
}

void CControlUI::PaintBody(HDC dc)
{
    PaintBkColor(dc);
    PaintBkImage(dc);
    PaintStatusImage(dc);
    PaintText(dc);
    PaintBorder(dc);
}

void CControlUI::PaintBkColor(HDC dc)
{
    if (m_bkColor == 0) return;
    if (m_bkColor2 == 0) {
        FillColor(dc, m_rcPaint, m_bkColor);
        return;
    }
    // A gradient as bands of solid colour: 16 from the first colour to the
    // second, or 8 and 8 through the second to the third.
    struct Segment {
        DWORD from, to;
        int start, end;  // along the gradient axis
    };
    bool vertical = m_verticalGradient;
    int start = vertical ? m_rcItem.top : m_rcItem.left;
    int end = vertical ? m_rcItem.bottom : m_rcItem.right;
    Segment segments[2];
    int count = 0;
    int steps;
    if (m_bkColor3 == 0) {
        segments[count++] = {m_bkColor, m_bkColor2, start, end};
        steps = 16;
    } else {
        int middle = start + (end - start) / 2;
        segments[count++] = {m_bkColor, m_bkColor2, start, middle};
        segments[count++] = {m_bkColor2, m_bkColor3, middle, end};
        steps = 8;
    }
    for (int s = 0; s < count; ++s) {
        const Segment& segment = segments[s];
        int length = segment.end - segment.start;
        for (int i = 0; i < steps; ++i) {
            RECT band = m_rcItem;
            int a = segment.start + length * i / steps;
            int b = segment.start + length * (i + 1) / steps;
            if (vertical) {
                band.top = a;
                band.bottom = b;
            } else {
                band.left = a;
                band.right = b;
            }
            RECT visible;
            if (::IntersectRect(&visible, &band, &m_rcPaint)) {
                FillColor(dc, visible, Mix(segment.from, segment.to, i, steps));
            }
        }
    }
}

void CControlUI::PaintBkImage(HDC dc) { DrawImage(dc, m_bkImage); }

void CControlUI::PaintStatusImage(HDC dc) {}

void CControlUI::PaintText(HDC dc) {}

void CControlUI::PaintBorder(HDC dc)
{
    DWORD color = (m_focused && m_focusBorderColor != 0) ? m_focusBorderColor : m_borderColor;
    if (color == 0) return;
    const RECT& item = m_rcItem;
    const RECT& size = m_borderSize;

    if (m_borderRound.cx > 0 || m_borderRound.cy > 0) {
        if (size.left <= 0) return;
        CPenHandle pen(::CreatePen(m_borderStyle, size.left, ToColorRef(color)));
        CSelectObject selectPen(dc, pen);
        CSelectObject selectBrush(dc, ::GetStockObject(HOLLOW_BRUSH));
        int inset = size.left / 2;
        ::RoundRect(dc, item.left + inset, item.top + inset, item.right - inset, item.bottom - inset,
                    m_borderRound.cx, m_borderRound.cy);
        return;
    }

    if ((m_borderStyle & PS_STYLE_MASK) != PS_SOLID) {
        // Dashes and dots need a pen; only one width for all sides then.
        int width = size.left > 0 ? size.left : 1;
        CPenHandle pen(::CreatePen(m_borderStyle, width, ToColorRef(color)));
        CSelectObject selectPen(dc, pen);
        CSelectObject selectBrush(dc, ::GetStockObject(HOLLOW_BRUSH));
        ::Rectangle(dc, item.left, item.top, item.right, item.bottom);
        return;
    }

    // Solid borders are strips filled inside the control, one per side, so
    // each side has its own width and the alpha channel is kept on layered
    // windows.
    if (size.top > 0) FillColor(dc, RECT{item.left, item.top, item.right, item.top + size.top}, color);
    if (size.bottom > 0) FillColor(dc, RECT{item.left, item.bottom - size.bottom, item.right, item.bottom}, color);
    if (size.left > 0) FillColor(dc, RECT{item.left, item.top, item.left + size.left, item.bottom}, color);
    if (size.right > 0) FillColor(dc, RECT{item.right - size.right, item.top, item.right, item.bottom}, color);
}

void CControlUI::SetBkColor(DWORD color)
{
    if (m_bkColor == color) return;
    m_bkColor = color;
    Invalidate();
}

void CControlUI::SetBkColor2(DWORD color)
{
    if (m_bkColor2 == color) return;
    m_bkColor2 = color;
    Invalidate();
}

void CControlUI::SetBkColor3(DWORD color)
{
    if (m_bkColor3 == color) return;
    m_bkColor3 = color;
    Invalidate();
}

void CControlUI::SetBkImage(const wchar_t* image) { SetImageAttr(m_bkImage, image); }

void CControlUI::SetForeImage(const wchar_t* image) { SetImageAttr(m_foreImage, image); }

void CControlUI::SetBorderColor(DWORD color)
{
    if (m_borderColor == color) return;
    m_borderColor = color;
    Invalidate();
}

void CControlUI::SetFocusBorderColor(DWORD color)
{
    if (m_focusBorderColor == color) return;
    m_focusBorderColor = color;
    Invalidate();
}

void CControlUI::SetBorderSize(const RECT& size)
{
    m_borderSize.Set(size, GetScale());
    Invalidate();
}

void CControlUI::SetBorderStyle(int style)
{
    m_borderStyle = style;
    Invalidate();
}

void CControlUI::SetBorderRound(SIZE round)
{
    m_borderRound.Set(round, GetScale());
    Invalidate();
}

void CControlUI::SetImageAttr(CImageSlot& image, const wchar_t* value)
{
    ImageDrawInfo& info = image.Info();
    if (!info.SetAttrString(value)) return;
    // A control of a window loads its picture now; others at their first
    // paint.
    if (m_manager != nullptr) {
        DrawImageInfo(nullptr, &m_manager->GetImageTable(), m_rcItem, m_rcItem, info);
        if (info.image != nullptr && m_float && m_fixedWidth == 0 && m_fixedHeight == 0) {
            // Fixed sizes are logical: the picture's own, not its pixels at
            // this window's scale.
            DpiScale art(info.image->dpi);
            SetFixedWidth(art.Unscale(info.image->width));
            SetFixedHeight(art.Unscale(info.image->height));
        }
    }
    Invalidate();
}

bool CControlUI::DrawImage(HDC dc, CImageSlot& image, const RECT* dest, BYTE fade)
{
    if (image.IsEmpty() || m_manager == nullptr) return false;
    ImageDrawInfo& info = image.Info();
    // Callers that place the picture themselves (a progress bar's filled
    // part) or fade it override the string's values for this one draw.
    ImageRect savedDest = info.dest;
    uint8_t savedFade = info.fade;
    if (dest != nullptr) info.dest = ImageRect{dest->left, dest->top, dest->right, dest->bottom};
    if (fade != 255) info.fade = static_cast<uint8_t>(info.fade * fade / 255);
    bool drawn = DrawImageInfo(dc, &m_manager->GetImageTable(), m_rcItem, m_rcPaint, info, dest != nullptr);
    info.dest = savedDest;
    info.fade = savedFade;
    return drawn;
}

void CControlUI::FillColor(HDC dc, const RECT& rect, DWORD argb) const
{
    const DWORD alpha = argb >> 24;
    if (alpha == 0 || ::IsRectEmpty(&rect)) return;
    if (alpha == 0xFF && (m_manager == nullptr || !m_manager->IsLayered())) {
        COLORREF old = ::SetDCBrushColor(dc, ToColorRef(argb));
        ::FillRect(dc, &rect, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
        ::SetDCBrushColor(dc, old);
        return;
    }
    // Translucent colours, and any colour in a layered window's buffer
    // (where FillRect would leave alpha 0), are blended from one
    // premultiplied pixel stretched over the rectangle. GdiAlphaBlend is the
    // gdi32 function behind msimg32's AlphaBlend; it honours the clip region
    // (rounded corners).
    static CMemoryDC pixelDC(nullptr);
    static CDibSection pixel;
    if (pixel.Pixels() == nullptr) {
        if (!pixel.Create(pixelDC, 1, 1)) return;
        ::SelectObject(pixelDC, pixel.Bitmap());
    }
    DWORD r = ((argb >> 16) & 0xFF) * alpha / 255;
    DWORD g = ((argb >> 8) & 0xFF) * alpha / 255;
    DWORD b = (argb & 0xFF) * alpha / 255;
    pixel.Pixels()[0] = (alpha << 24) | (r << 16) | (g << 8) | b;
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::GdiAlphaBlend(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, pixelDC, 0, 0, 1, 1,
                    blend);
}

}  // namespace SkinUI

#include "ui/controls/ContainerUI.h"

#include <cwchar>

#include "ui/core/AttrValue.h"
#include "ui/core/GdiHandles.h"
#include "ui/core/UIManager.h"

namespace SkinUI {

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI()
{
    // Children go first, while this container is still whole: their
    // destructors may ask the manager about their parent.
    std::vector<CControlUI*> items;
    items.swap(m_items);
    for (CControlUI* item : items) item->Delete();
}

const wchar_t* CContainerUI::ClassName() const { return L"Container"; }

void* CContainerUI::InterfaceByName(const wchar_t* name)
{
    if (name != nullptr && std::wcscmp(name, L"IContainer") == 0) return static_cast<IContainerUI*>(this);
    if (name != nullptr && std::wcscmp(name, L"Container") == 0) return this;
    return CControlUI::InterfaceByName(name);
}

CControlUI* CContainerUI::GetItemAt(int index) const
{
    if (index < 0 || index >= GetCount()) return nullptr;
    return m_items[index];
}

int CContainerUI::GetItemIndex(CControlUI* control) const
{
    for (int i = 0; i < GetCount(); ++i) {
        if (m_items[i] == control) return i;
    }
    return -1;
}

bool CContainerUI::SetItemIndex(CControlUI* control, int index)
{
    int current = GetItemIndex(control);
    if (current < 0 || index < 0 || index >= GetCount()) return false;
    m_items.erase(m_items.begin() + current);
    m_items.insert(m_items.begin() + index, control);
    NeedUpdate();
    return true;
}

bool CContainerUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CContainerUI::AddAt(CControlUI* control, int index)
{
    if (control == nullptr || index < 0 || index > GetCount()) return false;
    if (m_manager != nullptr) {
        m_manager->InitTree(control, this);
    } else {
        control->AttachManager(nullptr, this, false);
    }
    m_items.insert(m_items.begin() + index, control);
    control->SetInternVisible(IsVisible());
    if (IsVisible()) NeedUpdate();
    return true;
}

bool CContainerUI::Remove(CControlUI* control, bool keep) { return RemoveAt(GetItemIndex(control), keep); }

bool CContainerUI::RemoveAt(int index, bool keep)
{
    if (index < 0 || index >= GetCount()) return false;
    CControlUI* control = m_items[index];
    m_items.erase(m_items.begin() + index);
    if (!keep) control->Delete();
    NeedUpdate();
    return true;
}

void CContainerUI::RemoveAll()
{
    std::vector<CControlUI*> items;
    items.swap(m_items);
    for (CControlUI* item : items) item->Delete();
    NeedUpdate();
}

void CContainerUI::SetInset(const RECT& inset)
{
    m_inset = inset;
    NeedUpdate();
}

void CContainerUI::SetChildPadding(int padding)
{
    m_childPadding = padding;
    NeedUpdate();
}

void CContainerUI::SetChildAlign(int align)
{
    m_childAlign = align;
    NeedUpdate();
}

void CContainerUI::SetChildVAlign(int align)
{
    m_childVAlign = align;
    NeedUpdate();
}

RECT CContainerUI::InnerRect() const
{
    const DpiScale& scale = GetScale();
    RECT inner = m_rcItem;
    inner.left += scale.Scale(m_inset.left);
    inner.top += scale.Scale(m_inset.top);
    inner.right -= scale.Scale(m_inset.right);
    inner.bottom -= scale.Scale(m_inset.bottom);
    return inner;
}

RECT CContainerUI::GetClientPos() const { return InnerRect(); }

void CContainerUI::SetVisible(bool visible)
{
    if (m_visible == visible) return;
    CControlUI::SetVisible(visible);
    for (CControlUI* item : m_items) item->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool visible)
{
    CControlUI::SetInternVisible(visible);
    for (CControlUI* item : m_items) item->SetInternVisible(IsVisible());
}

void CContainerUI::AttachManager(CUIManager* manager, CControlUI* parent, bool init)
{
    for (CControlUI* item : m_items) item->AttachManager(manager, this, init);
    CControlUI::AttachManager(manager, parent, init);
}

void CContainerUI::PlaceFloatingChildren()
{
    for (CControlUI* item : m_items) {
        if (item->IsVisible() && item->IsFloat()) item->PlaceAt(item->FloatRectIn(m_rcItem), false);
    }
}

void CContainerUI::ArrangeStack(StackLayout::Axis axis, StackLayout::CrossAlign align)
{
    if (m_items.empty()) return;
    const DpiScale& scale = GetScale();
    std::vector<CControlUI*> stacked;
    std::vector<StackLayout::Child> children;
    for (CControlUI* item : m_items) {
        if (!item->IsVisible()) continue;
        if (item->IsFloat()) {
            item->PlaceAt(item->FloatRectIn(m_rcItem), false);
            continue;
        }
        StackLayout::Child child;
        RECT padding = item->GetPadding();
        child.padding = {scale.Scale(padding.left), scale.Scale(padding.top), scale.Scale(padding.right),
                         scale.Scale(padding.bottom)};
        child.fixedWidth = scale.Scale(item->GetFixedWidth());
        child.fixedHeight = scale.Scale(item->GetFixedHeight());
        child.minWidth = scale.Scale(item->GetMinWidth());
        child.maxWidth = scale.Scale(item->GetMaxWidth());
        child.minHeight = scale.Scale(item->GetMinHeight());
        child.maxHeight = scale.Scale(item->GetMaxHeight());
        children.push_back(child);
        stacked.push_back(item);
    }
    if (stacked.empty()) return;
    RECT inner = InnerRect();
    StackLayout::Result result = StackLayout::Arrange(
        axis, StackLayout::Rect{inner.left, inner.top, inner.right, inner.bottom}, children,
        scale.Scale(m_childPadding), align,
        [&](int index, StackLayout::Size available) {
            SIZE size = stacked[index]->MeasureSize(SIZE{available.cx, available.cy});
            return StackLayout::Size{size.cx, size.cy};
        });
    for (size_t i = 0; i < stacked.size(); ++i) {
        const StackLayout::Rect& r = result.rects[i];
        stacked[i]->PlaceAt(RECT{r.left, r.top, r.right, r.bottom}, false);
    }
}

void CContainerUI::PlaceAt(RECT rect, bool invalidate)
{
    CControlUI::PlaceAt(rect, invalidate);
    if (m_items.empty()) return;
    RECT inner = InnerRect();
    for (CControlUI* item : m_items) {
        if (!item->IsVisible()) continue;
        if (item->IsFloat()) {
            item->PlaceAt(item->FloatRectIn(m_rcItem), false);
            continue;
        }
        const DpiScale& scale = GetScale();
        int width = inner.right - inner.left;
        int height = inner.bottom - inner.top;
        if (width < scale.Scale(item->GetMinWidth())) width = scale.Scale(item->GetMinWidth());
        if (width > scale.Scale(item->GetMaxWidth())) width = scale.Scale(item->GetMaxWidth());
        if (height < scale.Scale(item->GetMinHeight())) height = scale.Scale(item->GetMinHeight());
        if (height > scale.Scale(item->GetMaxHeight())) height = scale.Scale(item->GetMaxHeight());
        item->PlaceAt(RECT{inner.left, inner.top, inner.left + width, inner.top + height}, false);
    }
}

void CContainerUI::Move(SIZE offset, bool invalidate)
{
    CControlUI::Move(offset, invalidate);
    for (CControlUI* item : m_items) {
        if (item->IsVisible()) item->Move(offset, false);
    }
}

CControlUI* CContainerUI::SearchTree(FindControlProc proc, void* data, UINT flags)
{
    if ((flags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
    if ((flags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
    const bool hitTest = (flags & UIFIND_HITTEST) != 0;
    if (hitTest && !::PtInRect(&m_rcItem, *static_cast<POINT*>(data))) return nullptr;
    const bool selfEligible = !hitTest || m_mouseEnabled;
    const bool updateTest = (flags & UIFIND_UPDATETEST) != 0;

    if ((flags & UIFIND_ME_FIRST) && selfEligible) {
        if (CControlUI* found = proc(this, data)) return updateTest ? nullptr : found;
    }
    // A container that keeps the mouse for itself hides its children from
    // hit tests.
    if (!hitTest || m_mouseChild) {
        if (m_cover != nullptr) {
            if (CControlUI* found = m_cover->SearchTree(proc, data, flags)) return found;
        }
        RECT inner = InnerRect();
        const int count = GetCount();
        const bool topFirst = (flags & UIFIND_TOP_FIRST) != 0;
        for (int n = 0; n < count; ++n) {
            CControlUI* item = m_items[topFirst ? count - 1 - n : n];
            if (hitTest && !item->IsFloat() && !::PtInRect(&inner, *static_cast<POINT*>(data))) continue;
            if (CControlUI* found = item->SearchTree(proc, data, flags)) return found;
        }
    }
    if (!(flags & UIFIND_ME_FIRST) && selfEligible) {
        CControlUI* found = proc(this, data);
        return updateTest ? nullptr : found;
    }
    return nullptr;
}

void CContainerUI::SetAttr(const wchar_t* name, const wchar_t* value)
{
    using namespace AttrValue;
    if (value == nullptr) value = L"";
    if (std::wcscmp(name, L"inset") == 0) {
        long n[4];
        ToNumbers(value, n, 4);
        SetInset(RECT{n[0], n[1], n[2], n[3]});
    } else if (std::wcscmp(name, L"mousechild") == 0) {
        SetMouseChildEnabled(IsTrue(value));
    } else if (std::wcscmp(name, L"childpadding") == 0) {
        SetChildPadding(ToLong(value));
    } else if (std::wcscmp(name, L"childalign") == 0) {
        if (std::wcscmp(value, L"left") == 0) SetChildAlign(kChildAlignLeft);
        else if (std::wcscmp(value, L"center") == 0) SetChildAlign(kChildAlignCenter);
        else if (std::wcscmp(value, L"right") == 0) SetChildAlign(kChildAlignRight);
    } else if (std::wcscmp(name, L"childvalign") == 0) {
        if (std::wcscmp(value, L"top") == 0) SetChildVAlign(kChildVAlignTop);
        else if (std::wcscmp(value, L"vcenter") == 0) SetChildVAlign(kChildVAlignCenter);
        else if (std::wcscmp(value, L"bottom") == 0) SetChildVAlign(kChildVAlignBottom);
    } else {
        // FIXME: vscrollbar, hscrollbar and their styles belong to the scroll
        // bar of the extended controls; until it exists they are kept as
        // custom attributes and no bar is shown.
        CControlUI::SetAttr(name, value);
    }
}

bool CContainerUI::PaintInto(HDC dc, const RECT& paint, CControlUI* stop)
{
    if (this == stop) return false;
    if (!::IntersectRect(&m_rcPaint, &paint, &m_rcItem)) return true;
    if (!OnPaint.Invoke(this)) return true;

    CRegionHandle round;
    if (m_borderRound.cx > 0 || m_borderRound.cy > 0) {
        round.Reset(::CreateRoundRectRgn(m_rcItem.left, m_rcItem.top, m_rcItem.right + 1, m_rcItem.bottom + 1,
                                         m_borderRound.cx, m_borderRound.cy));
    }
    // The rounded clip covers the container's own drawing and its children.
    auto paintAll = [&]() -> bool {
        PaintBody(dc);
        if (m_cover != nullptr && m_cover->IsVisible()) {
            if (!m_cover->PaintInto(dc, paint, stop)) return false;
        }
        if (m_items.empty()) return true;
        RECT inner = InnerRect();
        RECT innerPaint;
        bool innerVisible = ::IntersectRect(&innerPaint, &paint, &inner) != FALSE;
        for (CControlUI* item : m_items) {
            if (item == stop) return false;
            if (!item->IsVisible()) continue;
            RECT overlap;
            if (!::IntersectRect(&overlap, &paint, &item->GetPos())) continue;
            if (item->IsFloat()) {
                if (!item->PaintInto(dc, paint, stop)) return false;
                continue;
            }
            if (!innerVisible || !::IntersectRect(&overlap, &innerPaint, &item->GetPos())) continue;
            CClipGuard clip(dc, inner);
            if (!item->PaintInto(dc, innerPaint, stop)) return false;
        }
        return true;
    };
    if (round) {
        CClipGuard clip(dc, round.Get());
        return paintAll();
    }
    return paintAll();
}

}  // namespace SkinUI

#pragma once
// A control that owns children: the container interface, the inset, child
// padding and alignment, and the default layout (every child fills the inner
// rectangle). The stacking layouts derive from it.

#include <vector>

#include "ui/controls/ControlUI.h"
#include "ui/controls/StackLayout.h"

namespace SkinUI {

class IContainerUI {
public:
    virtual CControlUI* GetItemAt(int index) const = 0;
    virtual int GetItemIndex(CControlUI* control) const = 0;
    virtual bool SetItemIndex(CControlUI* control, int index) = 0;
    virtual int GetCount() const = 0;
    // The container takes ownership of an added control.
    virtual bool Add(CControlUI* control) = 0;
    virtual bool AddAt(CControlUI* control, int index) = 0;
    // Deletes the control unless `keep` is set (ownership then passes back
    // to the caller).
    virtual bool Remove(CControlUI* control, bool keep = false) = 0;
    virtual bool RemoveAt(int index, bool keep = false) = 0;
    virtual void RemoveAll() = 0;

protected:
    ~IContainerUI() = default;
};

enum ChildAlign { kChildAlignLeft = 0, kChildAlignCenter = 1, kChildAlignRight = 2 };
enum ChildVAlign { kChildVAlignTop = 0, kChildVAlignCenter = 4, kChildVAlignBottom = 8 };

class CContainerUI : public CControlUI, public IContainerUI {
public:
    CContainerUI();
    ~CContainerUI() override;

    const wchar_t* ClassName() const override;
    void* InterfaceByName(const wchar_t* name) override;

    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* control) const override;
    bool SetItemIndex(CControlUI* control, int index) override;
    int GetCount() const override { return static_cast<int>(m_items.size()); }
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control, bool keep = false) override;
    bool RemoveAt(int index, bool keep = false) override;
    void RemoveAll() override;

    RECT GetInset() const { return m_inset; }
    void SetInset(const RECT& inset);
    int GetChildPadding() const { return m_childPadding; }
    void SetChildPadding(int padding);
    int GetChildAlign() const { return m_childAlign; }
    void SetChildAlign(int align);
    int GetChildVAlign() const { return m_childVAlign; }
    void SetChildVAlign(int align);
    bool IsMouseChildEnabled() const { return m_mouseChild; }
    void SetMouseChildEnabled(bool enabled = true) { m_mouseChild = enabled; }

    RECT GetClientPos() const override;
    void SetVisible(bool visible = true) override;
    void SetInternVisible(bool visible = true) override;
    void AttachManager(CUIManager* manager, CControlUI* parent, bool init = true) override;
    void PlaceAt(RECT rect, bool invalidate = true) override;
    void Move(SIZE offset, bool invalidate = true) override;
    CControlUI* SearchTree(FindControlProc proc, void* data, UINT flags) override;
    void SetAttr(const wchar_t* name, const wchar_t* value) override;
    bool PaintInto(HDC dc, const RECT& paint, CControlUI* stop = nullptr) override;

    // The inner rectangle: the control's rectangle less the inset.
    RECT InnerRect() const;

protected:
    // Places every visible floating child by its fixed position and float
    // percentages within this container.
    void PlaceFloatingChildren();
    // Lays the children out in a stack (the vertical and horizontal
    // layouts): measure, then place. The container itself is already placed.
    void ArrangeStack(StackLayout::Axis axis, StackLayout::CrossAlign align);

    std::vector<CControlUI*> m_items;  // owned
    RECT m_inset = {0, 0, 0, 0};
    int m_childPadding = 0;
    int m_childAlign = kChildAlignLeft;
    int m_childVAlign = kChildVAlignTop;
    bool m_mouseChild = true;
};

}  // namespace SkinUI

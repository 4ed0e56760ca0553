#pragma once
// A container that stacks its visible children top to bottom: children with
// a fixed or measured height keep it, the others share what is left.
// Floating children are placed by their own fixed position.

#include "ui/controls/ContainerUI.h"

namespace SkinUI {

class CVerticalLayoutUI : public CContainerUI {
public:
    const wchar_t* ClassName() const override;
    void* InterfaceByName(const wchar_t* name) override;
    void PlaceAt(RECT rect, bool invalidate = true) override;
    void SetAttr(const wchar_t* name, const wchar_t* value) override;

    // A drag-to-resize separator at the bottom edge (no skin of the
    // installer uses one; kept for skins that set it).
    int GetSeparatorHeight() const { return m_separatorHeight; }
    bool IsSeparatorImmediate() const { return m_separatorImmediate; }

private:
    int m_separatorHeight = 0;
    bool m_separatorImmediate = false;
};

}  // namespace SkinUI

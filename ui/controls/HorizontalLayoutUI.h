#pragma once
// A container that stacks its visible children left to right: children with
// a fixed width keep it (or their measured width), the others share what is
// left. Floating children are placed by their own fixed position.

#include "ui/controls/ContainerUI.h"

namespace SkinUI {

class CHorizontalLayoutUI : public CContainerUI {
public:
    const wchar_t* ClassName() const override;
    void* InterfaceByName(const wchar_t* name) override;
    void PlaceAt(RECT rect, bool invalidate = true) override;
    void SetAttr(const wchar_t* name, const wchar_t* value) override;

    // A drag-to-resize separator at the right edge (no skin of the
    // installer uses one; kept for skins that set it).
    int GetSeparatorWidth() const { return m_separatorWidth; }
    bool IsSeparatorImmediate() const { return m_separatorImmediate; }

private:
    int m_separatorWidth = 0;
    bool m_separatorImmediate = false;
};

}  // namespace SkinUI

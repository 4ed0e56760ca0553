#pragma once
// One image attribute of a control (background, fore, a button state): the
// parsed attribute string and, once loaded, the picture it names (borrowed
// from the manager's picture table).

#include "ui/render/ImageAttr.h"

namespace SkinUI {

class CImageSlot {
public:
    const CUIString& Text() const { return m_info.attrString; }
    bool IsEmpty() const { return m_info.attrString.IsEmpty(); }
    bool HasPicture() const { return m_info.image != nullptr; }
    ImageDrawInfo& Info() { return m_info; }
    const ImageDrawInfo& Info() const { return m_info; }

private:
    ImageDrawInfo m_info;
};

}  // namespace SkinUI

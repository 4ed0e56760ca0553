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
    // Lets go of the picture: the next paint loads it again, at the window's
    // scale of that moment.
    void Forget()
    {
        m_info.image = nullptr;
        m_info.loadAttempted = false;
    }
    const ImageDrawInfo& Info() const { return m_info; }

private:
    ImageDrawInfo m_info;
};

}  // namespace SkinUI

#pragma once
// One image attribute of a control (background, fore, a button state): the
// attribute string and, once loaded, the picture it names.
//
// FIXME: pictures are not loaded yet; the slot keeps the string only until
// the image tables and drawing join the build.

#include "ui/core/UIString.h"

namespace SkinUI {

class CImageSlot {
public:
    const CUIString& Text() const { return m_text; }
    bool IsEmpty() const { return m_text.IsEmpty(); }
    bool HasPicture() const { return false; }
    void Assign(const wchar_t* text) { m_text = text; }

private:
    CUIString m_text;
};

}  // namespace SkinUI

#include "ui/controls/HorizontalLayoutUI.h"

#include <cwchar>

#include "ui/core/AttrValue.h"

namespace SkinUI {

const wchar_t* CHorizontalLayoutUI::ClassName() const { return L"HorizontalLayout"; }

void* CHorizontalLayoutUI::InterfaceByName(const wchar_t* name)
{
    if (name != nullptr && std::wcscmp(name, L"HorizontalLayout") == 0) return this;
    return CContainerUI::InterfaceByName(name);
}

void CHorizontalLayoutUI::PlaceAt(RECT rect, bool invalidate)
{
    CControlUI::PlaceAt(rect, invalidate);
    StackLayout::CrossAlign align = m_childVAlign == kChildVAlignCenter ? StackLayout::CrossAlign::Center
                                    : m_childVAlign == kChildVAlignBottom ? StackLayout::CrossAlign::End
                                                                          : StackLayout::CrossAlign::Start;
    ArrangeStack(StackLayout::Axis::Horizontal, align);
}

void CHorizontalLayoutUI::SetAttr(const wchar_t* name, const wchar_t* value)
{
    if (std::wcscmp(name, L"sepwidth") == 0) {
        m_separatorWidth = AttrValue::ToLong(value);
    } else if (std::wcscmp(name, L"sepimm") == 0) {
        m_separatorImmediate = AttrValue::IsTrue(value);
    } else {
        CContainerUI::SetAttr(name, value);
    }
}

}  // namespace SkinUI

#include "ui/controls/VerticalLayoutUI.h"

#include <cwchar>

#include "ui/core/AttrValue.h"

namespace SkinUI {

const wchar_t* CVerticalLayoutUI::ClassName() const { return L"VerticalLayout"; }

void* CVerticalLayoutUI::InterfaceByName(const wchar_t* name)
{
    if (name != nullptr && std::wcscmp(name, L"VerticalLayout") == 0) return this;
    return CContainerUI::InterfaceByName(name);
}

void CVerticalLayoutUI::PlaceAt(RECT rect, bool invalidate)
{
    CControlUI::PlaceAt(rect, invalidate);
    StackLayout::CrossAlign align = m_childAlign == kChildAlignCenter ? StackLayout::CrossAlign::Center
                                    : m_childAlign == kChildAlignRight ? StackLayout::CrossAlign::End
                                                                       : StackLayout::CrossAlign::Start;
    ArrangeStack(StackLayout::Axis::Vertical, align);
}

void CVerticalLayoutUI::SetAttr(const wchar_t* name, const wchar_t* value)
{
    if (std::wcscmp(name, L"sepheight") == 0) {
        m_separatorHeight = AttrValue::ToLong(value);
    } else if (std::wcscmp(name, L"sepimm") == 0) {
        m_separatorImmediate = AttrValue::IsTrue(value);
    } else {
        CContainerUI::SetAttr(name, value);
    }
}

}  // namespace SkinUI

#include "ui/markup/LayoutWalk.h"

namespace SkinUI {

namespace {

using AttrValue::EqualsNoCase;

// The element names a skin may use.
const LayoutElement kElements[] = {
    {L"Control", LayoutKind::Control, nullptr, false},
    {L"Container", LayoutKind::Container, nullptr, false},
    {L"VerticalLayout", LayoutKind::Vertical, nullptr, false},
    {L"VBox", LayoutKind::Vertical, nullptr, false},
    {L"HorizontalLayout", LayoutKind::Horizontal, nullptr, false},
    {L"HBox", LayoutKind::Horizontal, nullptr, false},
    {L"Label", LayoutKind::Label, nullptr, false},
    {L"Button", LayoutKind::Button, nullptr, false},
    {L"Progress", LayoutKind::Progress, nullptr, false},
    {L"TabLayout", LayoutKind::StandIn, L"TabLayout", false},
    {L"TileLayout", LayoutKind::StandIn, L"TileLayout", false},
    {L"ChildLayout", LayoutKind::StandIn, L"ChildLayout", false},
    {L"Text", LayoutKind::Text, nullptr, false},
    {L"Option", LayoutKind::StandIn, L"Option", false},
    {L"CheckBox", LayoutKind::StandIn, L"CheckBox", false},
    {L"Edit", LayoutKind::Edit, nullptr, false},
    {L"RichEdit", LayoutKind::RichEdit, nullptr, false},
    {L"Slider", LayoutKind::StandIn, L"Slider", false},
    {L"ScrollBar", LayoutKind::StandIn, L"ScrollBar", false},
    {L"Combo", LayoutKind::StandIn, L"Combo", false},
    {L"ComboBox", LayoutKind::StandIn, L"Combo", false},
    {L"List", LayoutKind::StandIn, L"List", false},
    {L"ListHeader", LayoutKind::StandIn, L"ListHeader", false},
    {L"ListHeaderItem", LayoutKind::StandIn, L"ListHeaderItem", false},
    {L"ListTextElement", LayoutKind::StandIn, L"ListTextElement", false},
    {L"ListLabelElement", LayoutKind::StandIn, L"ListLabelElement", false},
    {L"ListHBoxElement", LayoutKind::StandIn, L"ListHBoxElement", false},
    {L"ListContainerElement", LayoutKind::StandIn, L"ListContainerElement", false},
    {L"Tree", LayoutKind::StandIn, L"TreeView", false},
    {L"TreeView", LayoutKind::StandIn, L"TreeView", false},
    {L"DateTime", LayoutKind::StandIn, L"DateTime", false},
    {L"ActiveX", LayoutKind::StandIn, L"ActiveX", false},
    {L"WebBrowser", LayoutKind::StandIn, L"WebBrowser", false},
    {L"GifAnim", LayoutKind::StandIn, L"GifAnim", true},
};

}  // namespace

const LayoutElement* FindLayoutElement(const wchar_t* name)
{
    if (name == nullptr) return nullptr;
    for (const LayoutElement& entry : kElements) {
        bool same = entry.exactCase ? std::wcscmp(entry.element, name) == 0 : EqualsNoCase(entry.element, name);
        if (same) return &entry;
    }
    return nullptr;
}

bool IsLayoutResourceElement(const wchar_t* name)
{
    return EqualsNoCase(name, L"Image") || EqualsNoCase(name, L"Font") || EqualsNoCase(name, L"Default") ||
           EqualsNoCase(name, L"MultiLanguage");
}

const wchar_t* AttributeNoCase(const CXmlNode& node, const wchar_t* name)
{
    int count = node.AttributeCount();
    for (int i = 0; i < count; ++i) {
        if (EqualsNoCase(node.AttributeNameAt(i), name)) return node.AttributeValueAt(i);
    }
    return nullptr;
}

}  // namespace SkinUI

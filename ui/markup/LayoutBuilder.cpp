#include "ui/markup/LayoutBuilder.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "ui/controls/ButtonUI.h"
#include "ui/controls/ContainerUI.h"
#include "ui/controls/EditUI.h"
#include "ui/controls/HorizontalLayoutUI.h"
#include "ui/controls/LabelUI.h"
#include "ui/controls/ProgressUI.h"
#include "ui/controls/RichEditUI.h"
#include "ui/controls/StandInUI.h"
#include "ui/controls/TextUI.h"
#include "ui/controls/VerticalLayoutUI.h"
#include "ui/core/AttrValue.h"
#include "ui/core/ResourceReader.h"
#include "ui/core/ResourceSettings.h"
#include "ui/core/UIManager.h"

namespace SkinUI {

namespace {

using AttrValue::EqualsNoCase;

enum class Kind { Control, Container, Vertical, Horizontal, Label, Text, Button, Edit, RichEdit, Progress, StandIn };

struct ElementEntry {
    const wchar_t* element;
    Kind kind;
    const wchar_t* className;  // for stand-ins: the class name they answer
    bool exactCase;
};

// The element names a skin may use. Names match without regard to case,
// except "GifAnim".
const ElementEntry kElements[] = {
    {L"Control", Kind::Control, nullptr, false},
    {L"Container", Kind::Container, nullptr, false},
    {L"VerticalLayout", Kind::Vertical, nullptr, false},
    {L"VBox", Kind::Vertical, nullptr, false},
    {L"HorizontalLayout", Kind::Horizontal, nullptr, false},
    {L"HBox", Kind::Horizontal, nullptr, false},
    {L"Label", Kind::Label, nullptr, false},
    {L"Button", Kind::Button, nullptr, false},
    {L"Progress", Kind::Progress, nullptr, false},
    {L"TabLayout", Kind::StandIn, L"TabLayout", false},
    {L"TileLayout", Kind::StandIn, L"TileLayout", false},
    {L"ChildLayout", Kind::StandIn, L"ChildLayout", false},
    {L"Text", Kind::Text, nullptr, false},
    {L"Option", Kind::StandIn, L"Option", false},
    {L"CheckBox", Kind::StandIn, L"CheckBox", false},
    {L"Edit", Kind::Edit, nullptr, false},
    {L"RichEdit", Kind::RichEdit, nullptr, false},
    {L"Slider", Kind::StandIn, L"Slider", false},
    {L"ScrollBar", Kind::StandIn, L"ScrollBar", false},
    {L"Combo", Kind::StandIn, L"Combo", false},
    {L"ComboBox", Kind::StandIn, L"Combo", false},
    {L"List", Kind::StandIn, L"List", false},
    {L"ListHeader", Kind::StandIn, L"ListHeader", false},
    {L"ListHeaderItem", Kind::StandIn, L"ListHeaderItem", false},
    {L"ListTextElement", Kind::StandIn, L"ListTextElement", false},
    {L"ListLabelElement", Kind::StandIn, L"ListLabelElement", false},
    {L"ListHBoxElement", Kind::StandIn, L"ListHBoxElement", false},
    {L"ListContainerElement", Kind::StandIn, L"ListContainerElement", false},
    {L"Tree", Kind::StandIn, L"TreeView", false},
    {L"TreeView", Kind::StandIn, L"TreeView", false},
    {L"DateTime", Kind::StandIn, L"DateTime", false},
    {L"ActiveX", Kind::StandIn, L"ActiveX", false},
    {L"WebBrowser", Kind::StandIn, L"WebBrowser", false},
    {L"GifAnim", Kind::StandIn, L"GifAnim", true},
};

const ElementEntry* FindElement(const wchar_t* name)
{
    for (const ElementEntry& entry : kElements) {
        bool same = entry.exactCase ? std::wcscmp(entry.element, name) == 0 : EqualsNoCase(entry.element, name);
        if (same) return &entry;
    }
    return nullptr;
}

bool IsResourceElement(const wchar_t* name)
{
    return EqualsNoCase(name, L"Image") || EqualsNoCase(name, L"Font") || EqualsNoCase(name, L"Default") ||
           EqualsNoCase(name, L"MultiLanguage");
}

// The value of the attribute whose name matches without regard to case, or
// null (resource elements are read this way).
const wchar_t* AttributeNoCase(const CXmlNode& node, const wchar_t* name)
{
    int count = node.AttributeCount();
    for (int i = 0; i < count; ++i) {
        if (EqualsNoCase(node.AttributeNameAt(i), name)) return node.AttributeValueAt(i);
    }
    return nullptr;
}

bool IsTreeNode(CControlUI* control) { return control != nullptr && control->InterfaceByName(L"TreeNode") != nullptr; }

bool IsTreeParent(CControlUI* control)
{
    return IsTreeNode(control) || (control != nullptr && control->InterfaceByName(L"TreeView") != nullptr);
}

// Sets the attributes of `node` on `control`, after the manager's defaults
// for `defaultsFor`. The control is attached to the manager for the while
// (pictures load at once, fonts are known), without a parent so its name
// does not enter the name table before the tree is attached.
void ApplyAttributes(CControlUI* control, const CXmlNode& node, const wchar_t* defaultsFor, CUIManager* manager,
                     CControlUI* parent)
{
    if (manager != nullptr) {
        control->AttachManager(manager, nullptr, false);
        if (const wchar_t* defaults = manager->GetElementDefaults(defaultsFor)) control->ApplyAttrList(defaults);
    }
    int count = node.AttributeCount();
    for (int i = 0; i < count; ++i) control->SetAttr(node.AttributeNameAt(i), node.AttributeValueAt(i));
    if (manager != nullptr) control->AttachManager(nullptr, parent, false);
}

}  // namespace

CControlUI* CLayoutBuilder::BuildFromSource(const wchar_t* source, const wchar_t* type,
                                            IDialogBuilderCallback* callback, CUIManager* manager,
                                            CControlUI* parent)
{
    if (source == nullptr) return nullptr;
    if (IS_INTRESOURCE(source)) {
        if (type == nullptr) return nullptr;
        std::vector<unsigned char> bytes;
        if (!CResourceReader::ReadModuleResource(CResourceSettings::GetResourceModule(), source, type, bytes)) {
            return nullptr;
        }
        if (!m_markup.ParseBytes(bytes.data(), bytes.size(), XmlEncodingUtf8)) {
            ::OutputDebugStringW(m_markup.LastErrorMessage());
            return nullptr;
        }
        m_resourceType = type;
        m_fromResource = true;
    } else {
        bool parsed = source[0] == L'<' ? m_markup.ParseText(source) : m_markup.ParseFile(source, XmlEncodingUtf8);
        if (!parsed) {
            ::OutputDebugStringW(m_markup.LastErrorMessage());
            return nullptr;
        }
        m_resourceType.Empty();
        m_fromResource = false;
    }
    return BuildFromMarkup(callback, manager, parent);
}

CControlUI* CLayoutBuilder::BuildFromMarkup(IDialogBuilderCallback* callback, CUIManager* manager,
                                            CControlUI* parent)
{
    m_callback = callback;
    CXmlNode root = m_markup.RootNode();
    if (!root.IsValidNode()) return nullptr;
    if (manager != nullptr) {
        RegisterResources(root, manager);
        if (manager->GetWindow() != nullptr && EqualsNoCase(root.ElementName(), L"Window")) {
            int count = root.AttributeCount();
            for (int i = 0; i < count; ++i) manager->SetWindowAttr(root.AttributeNameAt(i), root.AttributeValueAt(i));
        }
    }
    return BuildChildren(root, parent, manager);
}

void CLayoutBuilder::RegisterResources(const CXmlNode& root, CUIManager* manager)
{
    using namespace AttrValue;
    for (CXmlNode node = root.FirstChild(); node.IsValidNode(); node = node.NextSibling()) {
        const wchar_t* element = node.ElementName();
        if (EqualsNoCase(element, L"Image")) {
            const wchar_t* name = AttributeNoCase(node, L"name");
            if (name == nullptr || *name == L'\0') continue;
            const wchar_t* type = AttributeNoCase(node, L"restype");
            DWORD mask = ToColor(AttributeNoCase(node, L"mask"));
            manager->RegisterImage(name, type, mask, false, IsTrueNoCase(AttributeNoCase(node, L"shared")));
        } else if (EqualsNoCase(element, L"Font")) {
            const wchar_t* id = AttributeNoCase(node, L"id");
            const wchar_t* face = AttributeNoCase(node, L"name");
            const wchar_t* size = AttributeNoCase(node, L"size");
            int fontId = id != nullptr ? static_cast<int>(ToLong(id)) : -1;
            int fontSize = size != nullptr ? static_cast<int>(ToLong(size)) : 12;
            if (fontId < 0 || face == nullptr || *face == L'\0') continue;
            bool bold = IsTrueNoCase(AttributeNoCase(node, L"bold"));
            bool underline = IsTrueNoCase(AttributeNoCase(node, L"underline"));
            bool italic = IsTrueNoCase(AttributeNoCase(node, L"italic"));
            bool shared = IsTrueNoCase(AttributeNoCase(node, L"shared"));
            manager->RegisterFont(fontId, face, fontSize, bold, underline, italic, shared);
            if (IsTrueNoCase(AttributeNoCase(node, L"default"))) {
                manager->SetBaseFont(face, fontSize, bold, underline, italic, shared);
            }
        } else if (EqualsNoCase(element, L"Default")) {
            const wchar_t* name = AttributeNoCase(node, L"name");
            const wchar_t* value = AttributeNoCase(node, L"value");
            if (name == nullptr || *name == L'\0') continue;
            manager->RegisterElementDefaults(name, value != nullptr ? value : L"",
                                             IsTrueNoCase(AttributeNoCase(node, L"shared")));
        } else if (EqualsNoCase(element, L"MultiLanguage")) {
            const wchar_t* id = AttributeNoCase(node, L"id");
            const wchar_t* value = AttributeNoCase(node, L"value");
            if (id == nullptr || value == nullptr || *value == L'\0') continue;
            long textId = ToLong(id);
            if (textId >= 0) CUIManager::SetLanguageText(static_cast<int>(textId), value);
        }
    }
}

CControlUI* CLayoutBuilder::CreateControl(const CXmlNode& node, CControlUI* parent)
{
    const wchar_t* name = node.ElementName();
    const ElementEntry* entry = FindElement(name);
    if (entry == nullptr) return m_callback != nullptr ? m_callback->CreateCustomControl(name) : nullptr;
    switch (entry->kind) {
    case Kind::Control: return new CControlUI;
    case Kind::Container: return new CContainerUI;
    case Kind::Vertical: return new CVerticalLayoutUI;
    case Kind::Horizontal: return new CHorizontalLayoutUI;
    case Kind::Label: return new CLabelUI;
    case Kind::Text: return new CTextUI;
    case Kind::Button: return new CButtonUI;
    case Kind::Edit: return new CEditUI;
    case Kind::RichEdit: return new CRichEditUI;
    case Kind::Progress: return new CProgressUI;
    case Kind::StandIn: return CreateStandIn(entry->className, node.HasChild());
    }
    return nullptr;
}

void CLayoutBuilder::BuildInclude(const CXmlNode& node, CControlUI* parent, CUIManager* manager, CControlUI*& first)
{
    wchar_t countText[500] = {};
    wchar_t source[500] = {};
    int count = 1;
    if (node.FindAttribute(L"count", countText, 500)) count = static_cast<int>(AttrValue::ToLong(countText));
    if (!node.FindAttribute(L"source", source, 500) || source[0] == L'\0') return;
    if (m_includeDepth >= kMaxIncludeDepth) return;

    CLayoutBuilder included;
    included.m_includeDepth = m_includeDepth + 1;
    for (int i = 0; i < count; ++i) {
        CControlUI* built;
        if (i == 0) {
            if (m_fromResource) {
                long id = AttrValue::ToLong(source);
                if (id <= 0 || id >= 0x10000) return;
                built = included.BuildFromSource(MAKEINTRESOURCEW(id), m_resourceType, m_callback, manager, parent);
            } else {
                built = included.BuildFromSource(source, nullptr, m_callback, manager, parent);
            }
            if (built == nullptr && !included.GetMarkup().RootNode().IsValidNode()) return;
        } else {
            built = included.BuildFromMarkup(m_callback, manager, parent);
        }
        if (built == nullptr) continue;
        if (first == nullptr) {
            first = built;
        } else if (parent == nullptr) {
            // Nobody would own a second copy built at the top level.
            built->Delete();
        }
    }
}

CControlUI* CLayoutBuilder::BuildChildren(const CXmlNode& node, CControlUI* parent, CUIManager* manager)
{
    CControlUI* first = nullptr;
    for (CXmlNode child = node.FirstChild(); child.IsValidNode(); child = child.NextSibling()) {
        const wchar_t* name = child.ElementName();
        if (IsResourceElement(name)) continue;
        if (EqualsNoCase(name, L"Include")) {
            BuildInclude(child, parent, manager, first);
            continue;
        }

        CControlUI* control = nullptr;
        if (EqualsNoCase(name, L"TreeNode")) {
            // Tree nodes live only under a tree view or another tree node.
            if (!IsTreeParent(parent)) continue;
            control = CreateStandIn(L"TreeNode", true);
        } else {
            control = CreateControl(child, parent);
        }
        if (control == nullptr) continue;  // skipped with its children

        if (child.HasChild()) BuildChildren(child, control, manager);

        if (parent != nullptr) {
            const wchar_t* cover = child.AttributeValue(L"cover");
            if (cover != nullptr && std::wcscmp(cover, L"true") == 0) {
                parent->SetCover(control);
            } else {
                // A tree node's children are its items: its container takes
                // them like any other.
                auto* container = static_cast<IContainerUI*>(parent->InterfaceByName(L"IContainer"));
                if (container == nullptr) {
                    // The rest of this parent's children have nowhere to go.
                    control->Delete();
                    return nullptr;
                }
                if (!container->Add(control)) {
                    control->Delete();
                    continue;
                }
            }
        }
        ApplyAttributes(control, child, EqualsNoCase(name, L"TreeNode") ? L"TreeNode" : name, manager,
                        control->GetParent());
        if (first == nullptr) first = control;
    }
    return first;
}

}  // namespace SkinUI

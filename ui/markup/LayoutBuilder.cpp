#include "ui/markup/LayoutBuilder.h"

#include <windows.h>

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

// The walk's target for a window: real controls, the window's manager (when
// there is one) and the skin's sources, which come from the same place as
// the skin that includes them (module resources of its type, or files and
// text).
class CControlTarget {
public:
    using Control = CControlUI;

    CControlTarget(IDialogBuilderCallback* callback, CUIManager* manager, bool fromResource, const wchar_t* resourceType)
        : m_callback(callback), m_manager(manager), m_fromResource(fromResource), m_resourceType(resourceType)
    {
    }

    bool HasManager() const { return m_manager != nullptr; }
    bool HasWindow() const { return m_manager->GetWindow() != nullptr; }
    void SetWindowAttr(const wchar_t* name, const wchar_t* value) { m_manager->SetWindowAttr(name, value); }

    void RegisterImage(const wchar_t* name, const wchar_t* type, uint32_t mask, bool shared)
    {
        m_manager->RegisterImage(name, type, mask, false, shared);
    }
    void RegisterFont(const LayoutFont& font)
    {
        m_manager->RegisterFont(font.id, font.face, font.size, font.bold, font.underline, font.italic, font.shared);
        if (font.isDefault)
            m_manager->SetBaseFont(font.face, font.size, font.bold, font.underline, font.italic, font.shared);
    }
    void RegisterElementDefaults(const wchar_t* element, const wchar_t* attrList, bool shared)
    {
        m_manager->RegisterElementDefaults(element, attrList, shared);
    }
    void SetLanguageText(int id, const wchar_t* text) { CUIManager::SetLanguageText(id, text); }

    CControlUI* Create(const LayoutElement* entry, const wchar_t* elementName, bool hasChildren)
    {
        if (entry == nullptr) return m_callback != nullptr ? m_callback->CreateCustomControl(elementName) : nullptr;
        switch (entry->kind) {
        case LayoutKind::Control: return new CControlUI;
        case LayoutKind::Container: return new CContainerUI;
        case LayoutKind::Vertical: return new CVerticalLayoutUI;
        case LayoutKind::Horizontal: return new CHorizontalLayoutUI;
        case LayoutKind::Label: return new CLabelUI;
        case LayoutKind::Text: return new CTextUI;
        case LayoutKind::Button: return new CButtonUI;
        case LayoutKind::Edit: return new CEditUI;
        case LayoutKind::RichEdit: return new CRichEditUI;
        case LayoutKind::Progress: return new CProgressUI;
        case LayoutKind::StandIn: return CreateStandIn(entry->className, hasChildren);
        }
        return nullptr;
    }
    CControlUI* CreateTreeNode() { return CreateStandIn(L"TreeNode", true); }

    bool IsTreeParent(CControlUI* control)
    {
        return control != nullptr &&
               (control->InterfaceByName(L"TreeNode") != nullptr || control->InterfaceByName(L"TreeView") != nullptr);
    }

    void SetCover(CControlUI* parent, CControlUI* cover) { parent->SetCover(cover); }

    LayoutAdd Add(CControlUI* parent, CControlUI* child)
    {
        auto* container = static_cast<IContainerUI*>(parent->InterfaceByName(L"IContainer"));
        if (container == nullptr) return LayoutAdd::NoContainer;
        return container->Add(child) ? LayoutAdd::Added : LayoutAdd::Refused;
    }

    // The manager's defaults for `defaultsFor` first, then the element's own
    // attributes. The control is attached to the manager for the while
    // (pictures load at once, fonts are known), without a parent so its name
    // does not enter the name table before the tree is attached.
    void ApplyAttributes(CControlUI* control, const CXmlNode& node, const wchar_t* defaultsFor)
    {
        CControlUI* parent = control->GetParent();
        if (m_manager != nullptr) {
            control->AttachManager(m_manager, nullptr, false);
            if (const wchar_t* defaults = m_manager->GetElementDefaults(defaultsFor)) control->ApplyAttrList(defaults);
        }
        int count = node.AttributeCount();
        for (int i = 0; i < count; ++i) control->SetAttr(node.AttributeNameAt(i), node.AttributeValueAt(i));
        if (m_manager != nullptr) control->AttachManager(nullptr, parent, false);
    }

    void Delete(CControlUI* control) { control->Delete(); }

    bool LoadInclude(const wchar_t* source, CXmlMarkup& markup)
    {
        if (m_fromResource) {
            long id = AttrValue::ToLong(source);
            if (id <= 0 || id >= 0x10000) return false;
            std::vector<unsigned char> bytes;
            if (!CResourceReader::ReadModuleResource(CResourceSettings::GetResourceModule(), MAKEINTRESOURCEW(id),
                                                     m_resourceType, bytes)) {
                return false;
            }
            return Parsed(markup, markup.ParseBytes(bytes.data(), bytes.size(), XmlEncodingUtf8));
        }
        return Parsed(markup, source[0] == L'<' ? markup.ParseText(source) : markup.ParseFile(source, XmlEncodingUtf8));
    }

    static bool Parsed(const CXmlMarkup& markup, bool parsed)
    {
        if (!parsed) ::OutputDebugStringW(markup.LastErrorMessage());
        return parsed;
    }

private:
    IDialogBuilderCallback* m_callback;
    CUIManager* m_manager;
    bool m_fromResource;
    const wchar_t* m_resourceType;
};

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
        if (!CControlTarget::Parsed(m_markup, m_markup.ParseBytes(bytes.data(), bytes.size(), XmlEncodingUtf8))) {
            return nullptr;
        }
        m_resourceType = type;
        m_fromResource = true;
    } else {
        bool parsed = source[0] == L'<' ? m_markup.ParseText(source) : m_markup.ParseFile(source, XmlEncodingUtf8);
        if (!CControlTarget::Parsed(m_markup, parsed)) return nullptr;
        m_resourceType.Empty();
        m_fromResource = false;
    }
    return BuildFromMarkup(callback, manager, parent);
}

CControlUI* CLayoutBuilder::BuildFromMarkup(IDialogBuilderCallback* callback, CUIManager* manager,
                                            CControlUI* parent)
{
    CControlTarget target(callback, manager, m_fromResource, m_resourceType);
    TLayoutWalk<CControlTarget> walk(target);
    return walk.Build(m_markup, parent);
}

}  // namespace SkinUI

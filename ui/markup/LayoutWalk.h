#pragma once
// How a parsed skin becomes a tree of controls, apart from the controls
// themselves: which elements are resources, controls or includes, where each
// new control goes, and how far an Include may take the build. The controls,
// the manager and the loading of included skins belong to a target:
// LayoutBuilder.cpp's makes real controls for a window; the fuzzer's and the
// native tests' make plain nodes, so that this part runs natively under the
// sanitizers.
//
// A target type provides:
//   using Control = ...;
//   bool HasManager() const;   // resources and window attributes need one
//   bool HasWindow() const;
//   void SetWindowAttr(const wchar_t* name, const wchar_t* value);
//   void RegisterImage(const wchar_t* name, const wchar_t* type, uint32_t mask, bool shared);
//   void RegisterFont(const LayoutFont& font);
//   void RegisterElementDefaults(const wchar_t* element, const wchar_t* attrList, bool shared);
//   void SetLanguageText(int id, const wchar_t* text);
//   // `entry` is null for a name the framework does not know. Null: the
//   // element is skipped with its children.
//   Control* Create(const LayoutElement* entry, const wchar_t* elementName, bool hasChildren);
//   Control* CreateTreeNode();
//   bool IsTreeParent(Control* control);  // a tree view or tree node
//   void SetCover(Control* parent, Control* cover);  // replaces (deletes) an earlier cover
//   LayoutAdd Add(Control* parent, Control* child);
//   void ApplyAttributes(Control* control, const CXmlNode& node, const wchar_t* defaultsFor);
//   void Delete(Control* control);  // with its children
//   // An Include's source into `markup`; false when it cannot be loaded.
//   bool LoadInclude(const wchar_t* source, CXmlMarkup& markup);
//
// Pure: no Win32.

#include <cstdint>
#include <cwchar>

#include "ui/core/AttrValue.h"
#include "ui/markup/XmlMarkup.h"

namespace SkinUI {

enum class LayoutKind { Control, Container, Vertical, Horizontal, Label, Text, Button, Edit, RichEdit, Progress, StandIn };

struct LayoutElement {
    const wchar_t* element;
    LayoutKind kind;
    const wchar_t* className;  // for stand-ins: the class name they answer
    bool exactCase;
};

// The table entry of an element name (names match without regard to case,
// except "GifAnim"), or null.
const LayoutElement* FindLayoutElement(const wchar_t* name);

// Image, Font, Default and MultiLanguage: registered from the root's
// children, never built as controls.
bool IsLayoutResourceElement(const wchar_t* name);

// The value of the attribute whose name matches without regard to case, or
// null (resource elements are read this way).
const wchar_t* AttributeNoCase(const CXmlNode& node, const wchar_t* name);

struct LayoutFont {
    int id;
    const wchar_t* face;
    int size;
    bool bold;
    bool underline;
    bool italic;
    bool shared;
    bool isDefault;  // also the manager's base font
};

enum class LayoutAdd {
    Added,
    Refused,      // the container would not take it
    NoContainer,  // the parent holds no children
};

// How far one build may go, its Includes with it. A skin that would go
// further is cut there: what was built stays, the rest is not built.
struct LayoutLimits {
    // An Include may name a skin that includes it again: nesting stops here.
    static constexpr int kMaxIncludeDepth = 16;
    // Controls inside controls, across Includes (one skin alone stays within
    // the parser's depth). Each level costs stack in the builder, and later
    // in layout and painting, of a 1 MB main thread.
    static constexpr int kMaxNesting = 256;
    // Elements the walk comes to (controls, resources it registers, and
    // those it skips) and Include passes. An Include's count, or a skin that
    // includes itself more than once, would otherwise ask for billions, also
    // of a skin that makes no control at all.
    static constexpr int kMaxItems = 10000;
};

template <class Target>
class TLayoutWalk {
public:
    using Control = typename Target::Control;

    explicit TLayoutWalk(Target& target) : m_target(target) {}
    TLayoutWalk(const TLayoutWalk&) = delete;
    TLayoutWalk& operator=(const TLayoutWalk&) = delete;

    // Registers the resources of the markup's root (with a manager) and
    // builds its children under `parent`. Returns the first control built,
    // or null.
    Control* Build(const CXmlMarkup& markup, Control* parent) { return BuildMarkup(markup, parent, 0, 0); }

    // Items (see LayoutLimits::kMaxItems) used so far.
    int ItemsUsed() const { return m_items; }
    // Whether the build was cut at LayoutLimits::kMaxItems.
    bool Exhausted() const { return m_items >= LayoutLimits::kMaxItems; }

private:
    Control* BuildMarkup(const CXmlMarkup& markup, Control* parent, int includeDepth, int nesting)
    {
        CXmlNode root = markup.RootNode();
        if (!root.IsValidNode()) return nullptr;
        if (m_target.HasManager()) {
            RegisterResources(root);
            if (m_target.HasWindow() && AttrValue::EqualsNoCase(root.ElementName(), L"Window")) {
                int count = root.AttributeCount();
                for (int i = 0; i < count; ++i) m_target.SetWindowAttr(root.AttributeNameAt(i), root.AttributeValueAt(i));
            }
        }
        return BuildChildren(root, parent, includeDepth, nesting);
    }

    void RegisterResources(const CXmlNode& root)
    {
        using namespace AttrValue;
        for (CXmlNode node = root.FirstChild(); node.IsValidNode(); node = node.NextSibling()) {
            const wchar_t* element = node.ElementName();
            if (!IsLayoutResourceElement(element)) continue;
            if (!Spend()) return;
            if (EqualsNoCase(element, L"Image")) {
                const wchar_t* name = AttributeNoCase(node, L"name");
                if (name == nullptr || *name == L'\0') continue;
                m_target.RegisterImage(name, AttributeNoCase(node, L"restype"), ToColor(AttributeNoCase(node, L"mask")),
                                       IsTrueNoCase(AttributeNoCase(node, L"shared")));
            } else if (EqualsNoCase(element, L"Font")) {
                const wchar_t* id = AttributeNoCase(node, L"id");
                const wchar_t* face = AttributeNoCase(node, L"name");
                const wchar_t* size = AttributeNoCase(node, L"size");
                LayoutFont font;
                font.id = id != nullptr ? static_cast<int>(ToLong(id)) : -1;
                font.face = face;
                font.size = size != nullptr ? static_cast<int>(ToLong(size)) : 12;
                if (font.id < 0 || face == nullptr || *face == L'\0') continue;
                font.bold = IsTrueNoCase(AttributeNoCase(node, L"bold"));
                font.underline = IsTrueNoCase(AttributeNoCase(node, L"underline"));
                font.italic = IsTrueNoCase(AttributeNoCase(node, L"italic"));
                font.shared = IsTrueNoCase(AttributeNoCase(node, L"shared"));
                font.isDefault = IsTrueNoCase(AttributeNoCase(node, L"default"));
                m_target.RegisterFont(font);
            } else if (EqualsNoCase(element, L"Default")) {
                const wchar_t* name = AttributeNoCase(node, L"name");
                const wchar_t* value = AttributeNoCase(node, L"value");
                if (name == nullptr || *name == L'\0') continue;
                m_target.RegisterElementDefaults(name, value != nullptr ? value : L"",
                                                 IsTrueNoCase(AttributeNoCase(node, L"shared")));
            } else if (EqualsNoCase(element, L"MultiLanguage")) {
                const wchar_t* id = AttributeNoCase(node, L"id");
                const wchar_t* value = AttributeNoCase(node, L"value");
                if (id == nullptr || value == nullptr || *value == L'\0') continue;
                long textId = ToLong(id);
                if (textId >= 0) m_target.SetLanguageText(static_cast<int>(textId), value);
            }
        }
    }

    Control* CreateControl(const CXmlNode& node)
    {
        const wchar_t* name = node.ElementName();
        return m_target.Create(FindLayoutElement(name), name, node.HasChild());
    }

    void BuildInclude(const CXmlNode& node, Control* parent, int includeDepth, int nesting, Control*& first)
    {
        wchar_t countText[500] = {};
        wchar_t source[500] = {};
        int count = 1;
        if (node.FindAttribute(L"count", countText, 500)) count = static_cast<int>(AttrValue::ToLong(countText));
        if (!node.FindAttribute(L"source", source, 500) || source[0] == L'\0') return;
        if (includeDepth >= LayoutLimits::kMaxIncludeDepth) return;

        CXmlMarkup included;
        if (!m_target.LoadInclude(source, included)) return;
        for (int i = 0; i < count; ++i) {
            if (!Spend()) return;
            Control* built = BuildMarkup(included, parent, includeDepth + 1, nesting);
            if (built == nullptr) continue;
            if (first == nullptr) {
                first = built;
            } else if (parent == nullptr) {
                // Nobody would own a second copy built at the top level.
                m_target.Delete(built);
            }
        }
    }

    Control* BuildChildren(const CXmlNode& node, Control* parent, int includeDepth, int nesting)
    {
        Control* first = nullptr;
        if (nesting >= LayoutLimits::kMaxNesting) return nullptr;
        for (CXmlNode child = node.FirstChild(); child.IsValidNode(); child = child.NextSibling()) {
            if (!Spend()) break;
            const wchar_t* name = child.ElementName();
            if (IsLayoutResourceElement(name)) continue;
            if (AttrValue::EqualsNoCase(name, L"Include")) {
                BuildInclude(child, parent, includeDepth, nesting, first);
                continue;
            }

            const bool treeNode = AttrValue::EqualsNoCase(name, L"TreeNode");
            // Tree nodes live only under a tree view or another tree node.
            if (treeNode && !m_target.IsTreeParent(parent)) continue;
            Control* control = treeNode ? m_target.CreateTreeNode() : CreateControl(child);
            if (control == nullptr) continue;  // skipped with its children

            if (child.HasChild()) BuildChildren(child, control, includeDepth, nesting + 1);

            bool isCover = false;
            if (parent != nullptr) {
                const wchar_t* cover = child.AttributeValue(L"cover");
                isCover = cover != nullptr && std::wcscmp(cover, L"true") == 0;
                if (isCover) {
                    m_target.SetCover(parent, control);
                } else {
                    // A tree node's children are its items: its container
                    // takes them like any other.
                    LayoutAdd added = m_target.Add(parent, control);
                    if (added == LayoutAdd::NoContainer) {
                        // The rest of this parent's children have nowhere to go.
                        m_target.Delete(control);
                        return nullptr;
                    }
                    if (added == LayoutAdd::Refused) {
                        m_target.Delete(control);
                        continue;
                    }
                }
            }
            m_target.ApplyAttributes(control, child, treeNode ? L"TreeNode" : name);
            // A later cover replaces (deletes) this one: it is never handed out.
            if (isCover) continue;
            if (first == nullptr) {
                first = control;
            } else if (parent == nullptr) {
                // Only the first is handed out: nobody would own a second
                // control at the top level.
                m_target.Delete(control);
            }
        }
        return first;
    }

    // Takes one item from the build's allowance; false once it is used up.
    bool Spend()
    {
        if (m_items >= LayoutLimits::kMaxItems) return false;
        ++m_items;
        return true;
    }

    Target& m_target;
    int m_items = 0;
};

}  // namespace SkinUI

// The layout walk over skin markup, with Include resolved from a table of
// skins held in the input, into a tree of plain nodes that keeps account of
// every node: whatever the skin, the walk builds or gives up, every node it
// makes ends in the tree or is deleted exactly once, and what it returns is
// alive.
//
// Input: one flag byte (bit 0 a manager, bit 1 a window, bit 2 a parent to
// build into, bit 3 a callback for unknown names, bit 4 that parent is a
// tree), then skins separated by zero bytes. The first is the skin built;
// Include source="N" names the N-th of the others; a source beginning with
// "<" is markup itself, as in the installer.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <unordered_set>
#include <vector>

#include "ui/controls/InlineMarkup.h"
#include "ui/core/AttrValue.h"
#include "ui/markup/AttrList.h"
#include "ui/markup/LayoutWalk.h"
#include "ui/render/ImageAttr.h"

using namespace SkinUI;

namespace {

[[noreturn]] void Fail(const char* what)
{
    fprintf(stderr, "layout oracle: %s\n", what);
    abort();
}

struct Node {
    bool container = false;
    bool treeParent = false;
    bool refuses = false;  // a custom container that takes no children
    Node* parent = nullptr;
    Node* cover = nullptr;
    std::vector<Node*> children;
};

bool EndsWith(const wchar_t* text, const wchar_t* suffix)
{
    size_t length = wcslen(text), suffixLength = wcslen(suffix);
    return length >= suffixLength && wcscmp(text + length - suffixLength, suffix) == 0;
}

class NodeTarget {
public:
    using Control = Node;

    NodeTarget(unsigned flags, std::vector<std::string> skins)
        : m_manager(flags & 1), m_window(flags & 2), m_callback(flags & 8), m_skins(std::move(skins))
    {
    }
    ~NodeTarget()
    {
        // Whatever is left was made and neither placed nor deleted.
        if (!m_live.empty()) Fail("a node was neither placed in the tree nor deleted");
    }

    bool HasManager() const { return m_manager; }
    bool HasWindow() const { return m_window; }
    void SetWindowAttr(const wchar_t* name, const wchar_t* value)
    {
        Touch(name);
        Touch(value);
    }
    void RegisterImage(const wchar_t* name, const wchar_t* type, uint32_t, bool)
    {
        ++m_work;
        if (name == nullptr || *name == L'\0') Fail("an image without a name");
        Touch(type);
    }
    void RegisterFont(const LayoutFont& font)
    {
        ++m_work;
        if (font.id < 0 || font.face == nullptr || *font.face == L'\0') Fail("a font without id or face");
    }
    void RegisterElementDefaults(const wchar_t* element, const wchar_t* attrList, bool)
    {
        ++m_work;
        if (element == nullptr || *element == L'\0' || attrList == nullptr) Fail("defaults without an element");
        m_defaults.emplace_back(element, attrList);
    }
    void SetLanguageText(int id, const wchar_t* text)
    {
        ++m_work;
        if (id < 0 || text == nullptr) Fail("a language text without id");
    }

    Node* Create(const LayoutElement* entry, const wchar_t* name, bool hasChildren)
    {
        ++m_work;
        Touch(name);
        Node* node = nullptr;
        if (entry == nullptr) {
            // The window's callback: it knows a few names of its own.
            if (!m_callback) return nullptr;
            if (wcsncmp(name, L"Moving", 6) != 0 && wcsncmp(name, L"Full", 4) != 0) return nullptr;
            node = New();
            node->container = true;
            node->refuses = name[0] == L'F';
            return node;
        }
        node = New();
        switch (entry->kind) {
        case LayoutKind::Container:
        case LayoutKind::Vertical:
        case LayoutKind::Horizontal:
        case LayoutKind::RichEdit: node->container = true; break;
        case LayoutKind::StandIn:
            node->container = hasChildren;
            node->treeParent = wcscmp(entry->className, L"TreeView") == 0;
            break;
        default: break;
        }
        return node;
    }
    Node* CreateTreeNode()
    {
        Node* node = New();
        node->container = node->treeParent = true;
        return node;
    }
    bool IsTreeParent(Node* node)
    {
        ++m_work;
        return node != nullptr && Alive(node)->treeParent;
    }

    void SetCover(Node* parent, Node* cover)
    {
        Alive(parent);
        Orphan(cover);
        if (parent->cover != nullptr) Destroy(parent->cover);
        parent->cover = cover;
        cover->parent = parent;
    }
    LayoutAdd Add(Node* parent, Node* child)
    {
        Alive(parent);
        Orphan(child);
        if (!parent->container) return LayoutAdd::NoContainer;
        if (parent->refuses) return LayoutAdd::Refused;
        parent->children.push_back(child);
        child->parent = parent;
        return LayoutAdd::Added;
    }

    // What the controls' setters do with values, through the same readers.
    void ApplyAttributes(Node* node, const CXmlNode& element, const wchar_t* defaultsFor)
    {
        Alive(node);
        if (m_manager) {
            for (const auto& defaults : m_defaults) {
                if (defaults.first != defaultsFor) continue;
                for (const AttrPair& pair : ParseAttrList(defaults.second.c_str())) SetAttr(pair.name, pair.value);
                break;
            }
        }
        int count = element.AttributeCount();
        for (int i = 0; i < count; ++i) SetAttr(element.AttributeNameAt(i), element.AttributeValueAt(i));
    }

    void Delete(Node* node)
    {
        Alive(node);
        // A node inside the tree would leave its parent pointing at nothing.
        if (node->parent != nullptr) Fail("a placed node was deleted");
        Destroy(node);
    }

    bool LoadInclude(const wchar_t* source, CXmlMarkup& markup)
    {
        if (source[0] == L'<') return markup.ParseText(source);
        size_t index = 0;
        const wchar_t* p = source;
        for (; *p >= L'0' && *p <= L'9' && index < m_skins.size(); ++p) index = index * 10 + static_cast<size_t>(*p - L'0');
        if (p == source || *p != L'\0' || index == 0 || index >= m_skins.size()) return false;
        return markup.ParseBytes(m_skins[index].data(), m_skins[index].size(), XmlEncodingUtf8);
    }

    const std::string& MainSkin() const { return m_skins[0]; }
    Node* Alive(Node* node) const
    {
        if (node == nullptr || m_live.count(node) == 0) Fail("a node that is not alive");
        return node;
    }
    void Destroy(Node* node)
    {
        for (Node* child : node->children) Destroy(Alive(child));
        if (node->cover != nullptr) Destroy(Alive(node->cover));
        m_live.erase(node);
        delete node;
    }
    size_t Made() const { return m_made; }
    // Elements the walk handed over or asked about; each costs the build.
    size_t Work() const { return m_work; }
    static int Depth(const Node* node)
    {
        int deepest = 0;
        for (const Node* child : node->children) {
            int depth = Depth(child);
            if (depth > deepest) deepest = depth;
        }
        if (node->cover != nullptr) {
            int depth = Depth(node->cover);
            if (depth > deepest) deepest = depth;
        }
        return deepest + 1;
    }

private:
    Node* New()
    {
        Node* node = new Node;
        m_live.insert(node);
        ++m_made;
        return node;
    }
    void Orphan(Node* node) const
    {
        if (Alive(node)->parent != nullptr) Fail("a node placed twice");
    }
    static void Touch(const wchar_t* text)
    {
        if (text == nullptr) return;
        volatile wchar_t sink = 0;
        for (; *text; ++text) sink = sink + *text;
    }
    static void SetAttr(const wchar_t* name, const wchar_t* value)
    {
        Touch(name);
        if (EndsWith(name, L"image")) {
            ImageDrawInfo info;
            info.SetAttrString(value);
            ParseImageAttr(info.attrString, info);
        } else if (EndsWith(name, L"color") || EndsWith(name, L"color1") || EndsWith(name, L"color2")) {
            AttrValue::ToColor(value);
        } else if (wcscmp(name, L"text") == 0 || wcscmp(name, L"tooltip") == 0) {
            ParseInlineMarkup(value);
        } else if (wcscmp(name, L"pos") == 0 || EndsWith(name, L"padding") || EndsWith(name, L"inset") ||
                   wcscmp(name, L"bordersize") == 0) {
            long numbers[4];
            AttrValue::ToNumbers(value, numbers, 4);
        } else {
            AttrValue::ToLong(value);
            AttrValue::IsTrue(value);
        }
    }

    bool m_manager;
    bool m_window;
    bool m_callback;
    std::vector<std::string> m_skins;
    std::vector<std::pair<std::wstring, std::wstring>> m_defaults;
    std::unordered_set<Node*> m_live;
    size_t m_made = 0;
    size_t m_work = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const unsigned flags = data[0];
    std::vector<std::string> skins(1);
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == 0) skins.emplace_back();
        else skins.back() += static_cast<char>(data[i]);
    }

    NodeTarget target(flags, std::move(skins));
    CXmlMarkup markup;
    if (!markup.ParseBytes(target.MainSkin().data(), target.MainSkin().size(), XmlEncodingUtf8)) return 0;

    Node* parent = nullptr;
    if (flags & 4) {
        parent = target.CreateTreeNode();
        parent->treeParent = (flags & 16) != 0;
    }
    Node* first = nullptr;
    {
        TLayoutWalk<NodeTarget> walk(target);
        first = walk.Build(markup, parent);
        if (walk.ItemsUsed() > LayoutLimits::kMaxItems) Fail("the build went past its allowance");
    }
    const size_t extra = parent != nullptr ? 1 : 0;
    if (target.Made() > LayoutLimits::kMaxItems + extra) Fail("more controls than the allowance");
    // Elements that make no control are work too (a font, an image for the
    // manager): an Include's passes over them are cut as well.
    if (target.Work() > LayoutLimits::kMaxItems) Fail("more elements handled than the allowance");
    if (first != nullptr) {
        target.Alive(first);
        // Built into a parent, the first control hangs there; built alone,
        // it is the root of the tree and nobody else's.
        if (first->parent != parent) Fail("the first control is not where it belongs");
    }
    Node* root = parent != nullptr ? parent : first;
    if (root == nullptr) return 0;
    if (NodeTarget::Depth(root) > LayoutLimits::kMaxNesting + static_cast<int>(extra)) Fail("nested too deeply");
    target.Destroy(root);
    return 0;
}

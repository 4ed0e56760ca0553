// The walk from skin markup to a control tree, with plain nodes for
// controls: where controls go, what happens to those nobody would own, and
// the limits of Include. (The real controls and sources are tested under
// Wine in ui_layout_builder_test.)
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/markup/LayoutWalk.h"

using namespace SkinUI;

namespace {

struct Node {
    std::wstring what;  // the element's class, and its name attribute if any
    bool container = false;
    Node* parent = nullptr;
    Node* cover = nullptr;
    std::vector<Node*> children;
};

// Makes nodes, keeps every one it ever made, and counts the deleted ones.
class Target {
public:
    using Control = Node;

    bool HasManager() const { return true; }
    bool HasWindow() const { return true; }
    void SetWindowAttr(const wchar_t* name, const wchar_t* value) { window += std::wstring(name) + L"=" + value + L";"; }
    void RegisterImage(const wchar_t* name, const wchar_t*, uint32_t mask, bool) { ++images; }
    void RegisterFont(const LayoutFont& font) { fonts.push_back(font.id); }
    void RegisterElementDefaults(const wchar_t*, const wchar_t*, bool) {}
    void SetLanguageText(int, const wchar_t*) {}

    Node* Create(const LayoutElement* entry, const wchar_t* name, bool hasChildren)
    {
        if (entry == nullptr) return nullptr;
        Node* node = Make(entry->className != nullptr ? entry->className : entry->element);
        node->container = entry->kind == LayoutKind::Vertical || entry->kind == LayoutKind::Container ||
                          (entry->kind == LayoutKind::StandIn && hasChildren);
        return node;
    }
    Node* CreateTreeNode() { return Make(L"TreeNode"); }
    bool IsTreeParent(Node* node)
    {
        ++treeParentsAsked;
        return node != nullptr && node->what.rfind(L"TreeView", 0) == 0;
    }
    void SetCover(Node* parent, Node* cover)
    {
        if (parent->cover != nullptr) Delete(parent->cover);
        parent->cover = cover;
        cover->parent = parent;
    }
    LayoutAdd Add(Node* parent, Node* child)
    {
        if (!parent->container) return LayoutAdd::NoContainer;
        parent->children.push_back(child);
        child->parent = parent;
        return LayoutAdd::Added;
    }
    void ApplyAttributes(Node* node, const CXmlNode& element, const wchar_t*)
    {
        if (const wchar_t* name = element.AttributeValue(L"name")) node->what += std::wstring(L":") + name;
    }
    void Delete(Node* node)
    {
        for (Node* child : node->children) Delete(child);
        if (node->cover != nullptr) Delete(node->cover);
        ++deleted;
    }
    bool LoadInclude(const wchar_t* source, CXmlMarkup& markup)
    {
        auto found = sources.find(source);
        return found != sources.end() && markup.ParseText(found->second.c_str());
    }

    size_t Made() const { return nodes.size(); }

    std::map<std::wstring, std::wstring> sources;
    std::wstring window;
    int images = 0;
    std::vector<int> fonts;
    size_t deleted = 0;
    size_t treeParentsAsked = 0;

private:
    Node* Make(const wchar_t* what)
    {
        nodes.push_back(std::make_unique<Node>());
        nodes.back()->what = what;
        return nodes.back().get();
    }
    std::vector<std::unique_ptr<Node>> nodes;
};

// The tree under a node as one line: what(children)[cover].
std::wstring Dump(const Node* node)
{
    std::wstring out = node->what;
    if (!node->children.empty()) {
        out += L"(";
        for (size_t i = 0; i < node->children.size(); ++i) out += (i ? L" " : L"") + Dump(node->children[i]);
        out += L")";
    }
    if (node->cover != nullptr) out += L"[" + Dump(node->cover) + L"]";
    return out;
}

int Depth(const Node* node)
{
    int deepest = 0;
    for (const Node* child : node->children) deepest = std::max(deepest, Depth(child));
    return deepest + 1;
}

struct Walk {
    Target target;
    CXmlMarkup markup;
    int itemsUsed = 0;

    Node* Build(const wchar_t* skin, Node* parent = nullptr)
    {
        if (!markup.ParseText(skin)) return nullptr;
        TLayoutWalk<Target> walk(target);
        Node* first = walk.Build(markup, parent);
        itemsUsed = walk.ItemsUsed();
        return first;
    }
};

}  // namespace

TEST(LayoutWalk, ResourcesWindowAndTree)
{
    Walk w;
    Node* root = w.Build(
        L"<Window size=\"10,20\"><Font id=\"1\" name=\"A\"/><Font id=\"-1\" name=\"B\"/><Font id=\"2\"/>"
        L"<Image name=\"i\"/><Image/>"
        L"<VBox name=\"v\"><Label name=\"l\"/><Fancy><Label name=\"lost\"/></Fancy>"
        L"<List><TreeNode name=\"stray\"/></List><TreeView><TreeNode name=\"t\"/></TreeView></VBox></Window>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Dump(root), L"VBox:v(Label:l List TreeView(TreeNode:t))");
    EXPECT_EQ(w.target.window, L"size=10,20;");
    EXPECT_EQ(w.target.fonts, std::vector<int>{1});
    EXPECT_EQ(w.target.images, 1);
}

TEST(LayoutWalk, ChildrenOfAControlThatHoldsNoneEndTheirLevel)
{
    Walk w;
    Node* root = w.Build(
        L"<Window><VBox><Button name=\"b\"><Label name=\"x\"/><Label name=\"y\"/></Button><Label name=\"after\"/>"
        L"</VBox></Window>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Dump(root), L"VBox(Button:b Label:after)");
    EXPECT_EQ(w.target.deleted, 1u);  // "x"; "y" is never made
    EXPECT_EQ(w.target.Made(), 4u);
}

// A second control at the top level has no owner: it used to be leaked.
TEST(LayoutWalk, OnlyTheFirstTopLevelControlIsKept)
{
    Walk w;
    Node* root = w.Build(L"<Window><Label name=\"a\"/><VBox name=\"b\"><Label/></VBox><Label name=\"c\"/></Window>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Dump(root), L"Label:a");
    EXPECT_EQ(w.target.deleted, 3u);  // b with its label, and c
    EXPECT_EQ(w.target.Made(), 4u);
}

// A cover replaced by a later one is deleted; handing it out as the first
// control returned a dangling pointer.
TEST(LayoutWalk, CoversAreNeverHandedOut)
{
    Walk w;
    Node parent;
    parent.container = true;
    Node* first = w.Build(L"<P><Button cover=\"true\"/><Label name=\"l\"/><Control cover=\"true\"/></P>", &parent);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->what, L"Label:l");
    EXPECT_EQ(Dump(&parent), L"(Label:l)[Control]");
    EXPECT_EQ(w.target.deleted, 1u);
    EXPECT_EQ(w.Build(L"<P><Button cover=\"true\"/></P>", &parent), nullptr);
}

TEST(LayoutWalk, IncludeBuildsItsSourceCountTimes)
{
    Walk w;
    w.target.sources[L"part"] = L"<Part><Font id=\"7\" name=\"F\"/><Label/><Button/></Part>";
    Node* root = w.Build(
        L"<Window><VBox><Include source=\"part\" count=\"3\"><Label name=\"ignored\"/></Include>"
        L"<Include source=\"missing\"/><Include count=\"2\"/><Include source=\"part\" count=\"-4\"/>"
        L"<Label name=\"last\"/></VBox></Window>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Dump(root), L"VBox(Label Button Label Button Label Button Label:last)");
    EXPECT_EQ(w.target.fonts, (std::vector<int>{7, 7, 7}));  // every pass registers its resources

    // At the top level the first pass's first control is the root; nobody
    // would own the rest.
    Walk top;
    top.target.sources[L"part"] = L"<Part><Label name=\"x\"/></Part>";
    root = top.Build(L"<Window><Include source=\"part\" count=\"3\"/></Window>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Dump(root), L"Label:x");
    EXPECT_EQ(top.target.deleted, 2u);
}

TEST(LayoutWalk, IncludeThatIncludesItselfStopsAtTheDepthLimit)
{
    Walk w;
    w.target.sources[L"loop"] = L"<Part><Label/><Include source=\"loop\"/></Part>";
    Node* root = w.Build(L"<Window><VBox><Include source=\"loop\"/></VBox></Window>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->children.size(), static_cast<size_t>(LayoutLimits::kMaxIncludeDepth));
}

// Each count on its own is small, but a skin that includes itself twice
// doubles the work at every level: 2^16 passes before the depth limit.
TEST(LayoutWalk, IncludesThatMultiplyAreCutAtTheAllowance)
{
    Walk w;
    w.target.sources[L"twice"] = L"<Part><Label/><Include source=\"twice\" count=\"2\"/></Part>";
    Node* root = w.Build(L"<Window><VBox><Include source=\"twice\"/></VBox></Window>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(w.itemsUsed, LayoutLimits::kMaxItems);
    EXPECT_LT(w.target.Made(), static_cast<size_t>(LayoutLimits::kMaxItems));
    EXPECT_EQ(w.target.deleted, 0u);

    Walk huge;
    huge.target.sources[L"one"] = L"<Part><Label/></Part>";
    root = huge.Build(L"<Window><VBox><Include source=\"one\" count=\"2000000000\"/></VBox></Window>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(huge.itemsUsed, LayoutLimits::kMaxItems);
    EXPECT_EQ(root->children.size(), static_cast<size_t>(LayoutLimits::kMaxItems / 2 - 1));
}

// A skin of nothing but elements the walk skips or only registers makes no
// control, yet each pass over it is work (and a font or image for the
// manager): a large count of it is cut like any other.
TEST(LayoutWalk, IncludesOfSkippedElementsAreCutAtTheAllowance)
{
    std::wstring skipped = L"<Skin>";
    for (int i = 0; i < 50; ++i) skipped += L"<Font id=\"1\" name=\"F\"/><TreeNode/><Include/><Label><Image/></Label>";
    Walk w;
    w.target.sources[L"skipped"] = skipped + L"</Skin>";
    Node* root = w.Build(L"<Window><VBox><Include source=\"skipped\" count=\"2000000000\"/></VBox></Window>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(w.itemsUsed, LayoutLimits::kMaxItems);
    EXPECT_LE(w.target.fonts.size() + w.target.treeParentsAsked + w.target.Made(),
              static_cast<size_t>(LayoutLimits::kMaxItems));
}

// One skin stays within the parser's depth; a skin that includes itself
// inside its deepest element nests 17 times that, past what the builder's
// stack (1 MB on Windows) can take.
TEST(LayoutWalk, NestingAcrossIncludesIsCut)
{
    std::wstring deep;
    const int levels = 200;
    for (int i = 0; i < levels; ++i) deep += L"<VBox>";
    deep += L"<Include source=\"deep\"/>";
    for (int i = 0; i < levels; ++i) deep += L"</VBox>";
    Walk w;
    w.target.sources[L"deep"] = L"<Part>" + deep + L"</Part>";
    Node* root = w.Build((L"<Window>" + deep + L"</Window>").c_str());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Depth(root), LayoutLimits::kMaxNesting);
}

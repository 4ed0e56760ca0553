// The skin builder: element names, resource elements, window attributes,
// defaults, Include, custom controls and the parent-without-container rule.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "HostWindow.h"
#include "support/TestSupport.h"
#include "ui/controls/ButtonUI.h"
#include "ui/controls/ContainerUI.h"
#include "ui/controls/LabelUI.h"
#include "ui/core/ResourceSettings.h"
#include "ui/markup/LayoutBuilder.h"

using namespace SkinUI;
using testing_support::HostWindow;

namespace {

// Records the names offered to the window and answers some of them.
struct RecordingCallback : IDialogBuilderCallback {
    CControlUI* CreateCustomControl(const wchar_t* name) override
    {
        offered.push_back(name);
        if (std::wstring(name) == L"gifanim" || std::wstring(name) == L"MovingContainer") return new CContainerUI;
        return nullptr;
    }
    std::vector<std::wstring> offered;
};

struct BuilderFixture : ::testing::Test {
    static void SetUpTestSuite()
    {
        s_window = new HostWindow;
        ASSERT_TRUE(s_window->Create(300, 200, 0, false));
    }
    static void TearDownTestSuite()
    {
        delete s_window;
        s_window = nullptr;
    }

    // Builds `xml` into the window's manager and attaches the tree.
    CControlUI* Build(const wchar_t* xml)
    {
        CLayoutBuilder builder;
        CControlUI* root = builder.BuildFromSource(xml, nullptr, &callback, &manager);
        if (root != nullptr) manager.AttachTree(root);
        return root;
    }
    CControlUI* Find(const wchar_t* name) { return manager.FindByName(name); }

    static HostWindow* s_window;
    CUIManager& manager = s_window->manager;
    RecordingCallback callback;
};

HostWindow* BuilderFixture::s_window = nullptr;

}  // namespace

TEST_F(BuilderFixture, ElementNamesMatchWithoutCaseExceptGifAnim)
{
    CControlUI* root = Build(
        L"<Window><Container>"
        L"<verticalLayout name=\"v1\"/><VERTICALLAYOUT name=\"v2\"/><VBOX name=\"v3\"/><hbox name=\"h\"/>"
        L"<GifAnim name=\"gif\"/><gifanim name=\"custom\"/><ComboBox name=\"combo\"/><Edit name=\"edit\" text=\"t\"/>"
        L"<Fancy name=\"fancy\"><Label name=\"insideFancy\"/></Fancy>"
        L"<TreeNode name=\"stray\"/>"
        L"<List name=\"list\"><ListTextElement name=\"item\"/></List>"
        L"</Container></Window>");
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(Find(L"v1")->ClassName(), L"VerticalLayout");
    EXPECT_STREQ(Find(L"v2")->ClassName(), L"VerticalLayout");
    EXPECT_STREQ(Find(L"v3")->ClassName(), L"VerticalLayout");
    EXPECT_STREQ(Find(L"h")->ClassName(), L"HorizontalLayout");
    EXPECT_STREQ(Find(L"gif")->ClassName(), L"GifAnim");
    EXPECT_STREQ(Find(L"combo")->ClassName(), L"Combo");
    EXPECT_STREQ(Find(L"edit")->ClassName(), L"Edit");
    EXPECT_EQ(Find(L"edit")->GetText(), L"t");
    // "gifanim" is not in the table: the window's callback makes it.
    ASSERT_NE(Find(L"custom"), nullptr);
    EXPECT_STREQ(Find(L"custom")->ClassName(), L"Container");
    // Nobody knows "Fancy": skipped with its children.
    EXPECT_EQ(Find(L"fancy"), nullptr);
    EXPECT_EQ(Find(L"insideFancy"), nullptr);
    std::vector<std::wstring> offered = {L"gifanim", L"Fancy"};
    EXPECT_EQ(callback.offered, offered);
    // A tree node outside a tree is dropped.
    EXPECT_EQ(Find(L"stray"), nullptr);
    // A stand-in with children is a container that keeps them.
    ASSERT_NE(Find(L"item"), nullptr);
    EXPECT_EQ(Find(L"item")->GetParent(), Find(L"list"));
    EXPECT_NE(Find(L"list")->InterfaceByName(L"IContainer"), nullptr);
    EXPECT_NE(Find(L"list")->InterfaceByName(L"List"), nullptr);
}

TEST_F(BuilderFixture, LabelInsideAButtonIsDroppedWithItsLaterSiblings)
{
    CControlUI* root = Build(
        L"<Window><VerticalLayout>"
        L"<Button name=\"b\"><Label name=\"x\"/><Label name=\"y\"/></Button>"
        L"<Label name=\"after\"/>"
        L"</VerticalLayout></Window>");
    ASSERT_NE(root, nullptr);
    ASSERT_NE(Find(L"b"), nullptr);
    EXPECT_EQ(Find(L"x"), nullptr);
    EXPECT_EQ(Find(L"y"), nullptr);
    ASSERT_NE(Find(L"after"), nullptr);
    EXPECT_EQ(static_cast<CContainerUI*>(root)->GetCount(), 2);
}

TEST_F(BuilderFixture, DefaultsComeBeforeOwnAttributesAndUnknownOnesAreKept)
{
    CControlUI* root = Build(
        L"<Window>"
        L"<Default name=\"Button\" value=\"width=&quot;40&quot; height=&quot;20&quot; text=&quot;dflt&quot;\"/>"
        L"<VerticalLayout>"
        L"<button name=\"b1\" width=\"50\"/><Button name=\"b2\"/>"
        L"<Control name=\"c\" with=\"3\" heigth=\"4\" Width=\"9\"/>"
        L"<Container><Control name=\"cov\" cover=\"true\"/></Container>"
        L"</VerticalLayout></Window>");
    ASSERT_NE(root, nullptr);
    CControlUI* b1 = Find(L"b1");
    ASSERT_NE(b1, nullptr);
    EXPECT_EQ(b1->GetFixedWidth(), 50);
    EXPECT_EQ(b1->GetFixedHeight(), 20);
    EXPECT_EQ(b1->GetText(), L"dflt");
    EXPECT_EQ(Find(L"b2")->GetFixedWidth(), 40);

    CControlUI* c = Find(L"c");
    EXPECT_STREQ(c->GetCustomAttr(L"with"), L"3");
    EXPECT_STREQ(c->GetCustomAttr(L"heigth"), L"4");
    EXPECT_STREQ(c->GetCustomAttr(L"Width"), L"9");  // control attribute names are exact
    EXPECT_EQ(c->GetFixedWidth(), 0);

    CControlUI* cover = Find(L"cov");
    ASSERT_NE(cover, nullptr);
    EXPECT_EQ(cover->GetParent()->GetCover(), cover);
    EXPECT_EQ(static_cast<CContainerUI*>(cover->GetParent())->GetCount(), 0);
}

TEST_F(BuilderFixture, ResourceElementsAndWindowAttributes)
{
    // The window takes the skin's size only while it has no tree yet.
    manager.AttachTree(nullptr);
    CControlUI* root = Build(
        L"<Window SIZE=\"123,77\" caption=\"0,0,0,30\" sizebox=\"4,5,6,7\" roundcorner=\"3,3\" mininfo=\"50,40\" "
        L"NoActivate=\"true\" something=\"kept\">"
        L"<Font ID=\"3\" name=\"Arial\" size=\"20\" Bold=\"TRUE\"/>"
        L"<Font id=\"4\" size=\"20\"/>"
        L"<Font id=\"5\" name=\"Arial\" size=\"9\" default=\"true\"/>"
        L"<MultiLanguage id=\"7\" value=\"Hello\"/>"
        L"<Image name=\"green\" restype=\"*COLOR*\" mask=\"#00000000\"/>"
        L"<Label name=\"l\" font=\"3\"/></Window>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(manager.GetInitialSize().cx, 123);
    RECT window;
    ::GetWindowRect(manager.GetWindow(), &window);
    EXPECT_EQ(window.right - window.left, 123);
    EXPECT_EQ(window.bottom - window.top, 77);
    EXPECT_EQ(manager.GetCaptionRect().bottom, 30);
    EXPECT_EQ(manager.GetSizeBox().right, 6);
    EXPECT_EQ(manager.GetMinInfo().cy, 40);
    // "noactivate" must be written exactly; the rest of the names may not.
    EXPECT_FALSE(manager.IsNoActivate());
    EXPECT_STREQ(manager.GetWindowCustomAttr(L"NoActivate"), L"true");
    EXPECT_STREQ(manager.GetWindowCustomAttr(L"something"), L"kept");

    const TFontInfo* font = manager.GetFontInfo(3);
    EXPECT_EQ(font->size, 20);
    EXPECT_TRUE(font->bold);
    EXPECT_EQ(font->face, L"Arial");
    EXPECT_EQ(manager.GetFontInfo(4), manager.GetDefaultFontInfo());  // no face: not registered
    EXPECT_EQ(manager.GetDefaultFontInfo()->size, 9);
    EXPECT_EQ(CUIManager::ExpandLanguageText(L"%{7}, %{8}!"), L"Hello, %{8}!");

    // A root that is not "Window" configures nothing.
    manager.AttachTree(nullptr);
    Build(L"<Skin size=\"300,200\"><Label/></Skin>");
    ::GetWindowRect(manager.GetWindow(), &window);
    EXPECT_EQ(window.right - window.left, 123);
    CUIManager::ClearLanguageTexts();
}

TEST_F(BuilderFixture, IncludeBuildsItsSourceCountTimesIntoTheParent)
{
    testing_support::TempDir dir(L"include");
    std::string part = "<Part><Label name=\"inc\" text=\"p\"/><Button/></Part>";
    FILE* file = _wfopen((dir / L"part.xml").c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    fwrite(part.data(), 1, part.size(), file);
    fclose(file);
    CUIString oldPath = CResourceSettings::GetResourcePath();
    CResourceSettings::SetResourcePath(dir.Path().c_str());

    CControlUI* root = Build(
        L"<Window><VerticalLayout>"
        L"<Include source=\"part.xml\" count=\"3\"><Label name=\"ignored\"/></Include>"
        L"<Include source=\"missing.xml\"/><Include count=\"2\"/>"
        L"<Label name=\"last\"/>"
        L"</VerticalLayout></Window>");
    CResourceSettings::SetResourcePath(oldPath);
    ASSERT_NE(root, nullptr);
    auto* layout = static_cast<CContainerUI*>(root);
    ASSERT_EQ(layout->GetCount(), 7);
    for (int i = 0; i < 6; i += 2) {
        EXPECT_STREQ(layout->GetItemAt(i)->ClassName(), L"Label");
        EXPECT_EQ(layout->GetItemAt(i)->GetText(), L"p");
        EXPECT_STREQ(layout->GetItemAt(i + 1)->ClassName(), L"Button");
    }
    EXPECT_EQ(layout->GetItemAt(6), Find(L"last"));
    EXPECT_EQ(Find(L"ignored"), nullptr);
    EXPECT_EQ(Find(L"inc"), layout->GetItemAt(0));  // the first of a name wins
}

TEST_F(BuilderFixture, IncludeThatIncludesItselfStops)
{
    testing_support::TempDir dir(L"include");
    std::string loop = "<Part><Label/><Include source=\"loop.xml\"/></Part>";
    FILE* file = _wfopen((dir / L"loop.xml").c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    fwrite(loop.data(), 1, loop.size(), file);
    fclose(file);
    CUIString oldPath = CResourceSettings::GetResourcePath();
    CResourceSettings::SetResourcePath(dir.Path().c_str());
    CControlUI* root = Build(L"<Window><VerticalLayout><Include source=\"loop.xml\"/></VerticalLayout></Window>");
    CResourceSettings::SetResourcePath(oldPath);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(static_cast<CContainerUI*>(root)->GetCount(), CLayoutBuilder::kMaxIncludeDepth);
}

TEST_F(BuilderFixture, SkinsThatCannotBeLoadedBuildNothing)
{
    CLayoutBuilder builder;
    EXPECT_EQ(builder.BuildFromSource(L"<Window><Label></Window>", nullptr, nullptr, &manager), nullptr);
    EXPECT_EQ(builder.BuildFromSource(L"no-such-skin.xml", nullptr, nullptr, &manager), nullptr);
    EXPECT_STREQ(builder.GetMarkup().LastErrorMessage(), L"Error opening file");
    CLayoutBuilder fromResource;
    EXPECT_EQ(fromResource.BuildFromSource(MAKEINTRESOURCEW(4321), L"xml", nullptr, &manager), nullptr);
    EXPECT_STREQ(fromResource.GetMarkup().LastErrorMessage(), L"");
    // Without a manager the tree is still built (nothing is registered).
    CLayoutBuilder plain;
    CControlUI* root = plain.BuildFromSource(L"<Window><Button name=\"b\"/></Window>", nullptr, nullptr, nullptr);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetName(), L"b");
    root->Delete();
}

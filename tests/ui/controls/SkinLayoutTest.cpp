// Layouts built from skin strings and placed in a rectangle: the rectangles
// each control ends up with. The window only lends its DC for measuring
// text; nothing is painted.
#include <gtest/gtest.h>

#include "core_window/HostWindow.h"
#include "ui/controls/ContainerUI.h"
#include "ui/markup/LayoutBuilder.h"

using namespace SkinUI;
using testing_support::HostWindow;

namespace {

struct SkinLayout : ::testing::Test {
    static void SetUpTestSuite()
    {
        s_window = new HostWindow;
        ASSERT_TRUE(s_window->Create(100, 100, 0, false));
    }
    static void TearDownTestSuite()
    {
        delete s_window;
        s_window = nullptr;
    }

    CControlUI* Lay(const wchar_t* xml, RECT rect)
    {
        CLayoutBuilder builder;
        CControlUI* root = builder.BuildFromSource(xml, nullptr, nullptr, &manager);
        if (root == nullptr) return nullptr;
        manager.AttachTree(root);
        root->PlaceAt(rect, false);
        return root;
    }
    RECT Pos(const wchar_t* name)
    {
        CControlUI* control = manager.FindByName(name);
        return control != nullptr ? control->GetPos() : RECT{-1, -1, -1, -1};
    }

    static HostWindow* s_window;
    CUIManager& manager = s_window->manager;
};

HostWindow* SkinLayout::s_window = nullptr;

::testing::AssertionResult Is(RECT actual, LONG left, LONG top, LONG right, LONG bottom)
{
    if (actual.left == left && actual.top == top && actual.right == right && actual.bottom == bottom) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "(" << actual.left << "," << actual.top << "," << actual.right << ","
                                         << actual.bottom << ") instead of (" << left << "," << top << ","
                                         << right << "," << bottom << ")";
}

}  // namespace

TEST_F(SkinLayout, PosThenSizeAttributes)
{
    ASSERT_NE(Lay(L"<Window><Container>"
                  L"<Control name=\"a\" float=\"true\" pos=\"508,201,1,1\" width=\"117\" height=\"61\"/>"
                  L"<Control name=\"b\" float=\"true\" width=\"569\" height=\"69\" pos=\"22,6,0,0\"/>"
                  L"<Control name=\"g\" float=\"true\" geometry=\"240,20 300,20\"/>"
                  L"</Container></Window>",
                  RECT{0, 0, 700, 500}),
              nullptr);
    // Negative sizes from pos are ignored; pos with zero size keeps the
    // size set before.
    EXPECT_TRUE(Is(Pos(L"a"), 508, 201, 625, 262));
    EXPECT_TRUE(Is(Pos(L"b"), 22, 6, 591, 75));
    EXPECT_TRUE(Is(Pos(L"g"), 240, 20, 540, 40));
}

TEST_F(SkinLayout, SpacerPushesAFixedButtonToTheRight)
{
    ASSERT_NE(Lay(L"<Window><HorizontalLayout><HorizontalLayout name=\"spacer\"/>"
                  L"<Button name=\"b\" width=\"25\"/></HorizontalLayout></Window>",
                  RECT{10, 10, 310, 40}),
              nullptr);
    EXPECT_TRUE(Is(Pos(L"spacer"), 10, 10, 285, 40));
    EXPECT_TRUE(Is(Pos(L"b"), 285, 10, 310, 40));
}

TEST_F(SkinLayout, LabelWithoutHeightGetsItsFontHeightPlusEight)
{
    ASSERT_NE(Lay(L"<Window><Font id=\"1\" name=\"Arial\" size=\"20\"/><VerticalLayout>"
                  L"<Label name=\"l\" text=\"x\" font=\"1\" textpadding=\"0,3,0,5\"/>"
                  L"<Label name=\"plain\"/><Control name=\"rest\"/></VerticalLayout></Window>",
                  RECT{0, 0, 200, 300}),
              nullptr);
    int arial = manager.GetFontInfo(1)->metrics.tmHeight;
    int standard = manager.GetDefaultFontInfo()->metrics.tmHeight;
    ASSERT_GT(arial, 15);
    EXPECT_TRUE(Is(Pos(L"l"), 0, 0, 200, arial + 8 + 8));
    EXPECT_TRUE(Is(Pos(L"plain"), 0, arial + 16, 200, arial + 16 + standard + 8));
    EXPECT_TRUE(Is(Pos(L"rest"), 0, arial + 16 + standard + 8, 200, 300));
}

TEST_F(SkinLayout, FloatingChildrenWithPercentages)
{
    CControlUI* root = Lay(L"<Window><VerticalLayout inset=\"7,7,7,7\" childpadding=\"3\">"
                           L"<Control name=\"c\" float=\"0.5,0.25,0.5,0.25\" pos=\"10,5,30,15\"/>"
                           L"<Control name=\"fill\"/></VerticalLayout></Window>",
                           RECT{100, 100, 300, 300});
    ASSERT_NE(root, nullptr);
    // Inset and padding do not apply to floating children.
    EXPECT_TRUE(Is(Pos(L"c"), 210, 155, 230, 165));
    EXPECT_TRUE(Is(Pos(L"fill"), 107, 107, 293, 293));
    root->PlaceAt(RECT{0, 0, 400, 100}, false);
    EXPECT_TRUE(Is(Pos(L"c"), 210, 30, 230, 40));
}

// The setup wizard's skin, written from its table, laid out at the window's
// 647 x 449.
static const wchar_t kSetupSkin[] =
    L"<Window size=\"647,449\" caption=\"0,0,0,100\" layeredopacity=\"255\" "
    L"layeredimage=\"res='164' restype='png' hole='false'\">"
    L"<Font shared=\"true\" id=\"0\" name=\"微软雅黑\" size=\"16\"/>"
    L"<Font shared=\"true\" id=\"1\" name=\"微软雅黑\" size=\"13\" bold=\"true\"/>"
    L"<Font shared=\"true\" id=\"2\" name=\"微软雅黑\" size=\"13\"/>"
    L"<Font shared=\"true\" id=\"3\" name=\"微软雅黑\" size=\"13\"/>"
    L"<Font shared=\"true\" id=\"4\" name=\"微软雅黑\" size=\"14\"/>"
    L"<Font shared=\"true\" id=\"5\" name=\"微软雅黑\" size=\"17\"/>"
    L"<verticalLayout name=\"root\" inset=\"1,1,1,1\" width=\"646\" bkimage=\"res='164' restype='png'\">"
    L" <HorizontalLayout name=\"topBgLayout\" inset=\"22,12,28,0\" height=\"342\"/>"
    L" <verticalLayout name=\"layoutStart\" height=\"105\">"
    L"  <Label name=\"decor\" float=\"true\" pos=\"40,39,110,55\" bkimage=\"res='184' restype='png'\"/>"
    L"  <Edit name=\"txtDir\" text=\"请选择安装目录\" borderround=\"4,4\" float=\"true\" pos=\"122,33,492,58\" "
    L"   width=\"370\" bkimage=\"res='152' restype='png'\" nativebkcolor=\"#FF1d2928\" font=\"2\" "
    L"   textcolor=\"#FF127EA2\"/>"
    L"  <Button name=\"btnBrowse\" float=\"true\" pos=\"473,39,488,54\" width=\"15\" height=\"15\" "
    L"   bkcolor=\"#FFFFFFFF\" normalimage=\"res='153' restype='png'\" hotimage=\"res='154' restype='png'\" "
    L"   pushedimage=\"res='155' restype='png'\"/>"
    L"  <Button name=\"btnNext\" float=\"true\" pos=\"515,32,603,60\" textcolor=\"#FFFFFFFF\" font=\"3\" "
    L"   width=\"88\" height=\"28\" normalimage=\"res='156' restype='png'\" hotimage=\"res='157' restype='png'\" "
    L"   pushedimage=\"res='158' restype='png'\"/>"
    L" </verticalLayout>"
    L" <verticalLayout name=\"layoutSetup\" padding=\"23,2,0,0\" width=\"593\" height=\"93\" "
    L"  bkimage=\"res='147' restype='png'\">"
    L"  <HorizontalLayout name=\"row\" height=\"20\" padding=\"0,10,0,0\">"
    L"   <HorizontalLayout name=\"spacer\"/>"
    L"   <Label name=\"txtPercentage\" width=\"50\" height=\"15\" align=\"right\" padding=\"0,0,25,0\" "
    L"    textcolor=\"#FF00DCC8\" text=\"0%\" font=\"5\"/>"
    L"  </HorizontalLayout>"
    L"  <Label name=\"track\" width=\"560\" height=\"11\" padding=\"16,5,0,0\" bkimage=\"res='144' restype='png'\"/>"
    L"  <Label name=\"lblProgress\" width=\"569\" height=\"69\" float=\"true\" pos=\"22,6,0,0\" padding=\"0,4,0,0\" "
    L"   bkimage=\"res='146' restype='png' source='560,0,565,69' xtiled='true'\"/>"
    L"  <Label name=\"lblDebug\" text=\"Debug\" float=\"true\" geometry=\"240,20 300,20\" textcolor=\"#FF00DCC8\"/>"
    L" </verticalLayout>"
    L" <verticalLayout name=\"layoutFinish\" height=\"105\" inset=\"253,35,0,0\">"
    L"  <Button name=\"btnFinish\" width=\"140\" height=\"35\" normalimage=\"res='159' restype='png'\" "
    L"   hotimage=\"res='160' restype='png'\" pushedimage=\"res='161' restype='png'\"/>"
    L" </verticalLayout>"
    L"</verticalLayout></Window>";

TEST_F(SkinLayout, SetupWizardSkinAt647By449)
{
    CControlUI* root = Lay(kSetupSkin, RECT{0, 0, 647, 449});
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(Is(Pos(L"root"), 0, 0, 647, 449));
    // Inside the 1-pixel inset: the 342-pixel background host, then the
    // three 105/93-pixel pages, one under the other.
    EXPECT_TRUE(Is(Pos(L"topBgLayout"), 1, 1, 646, 343));
    EXPECT_TRUE(Is(Pos(L"layoutStart"), 1, 343, 646, 448));
    EXPECT_TRUE(Is(Pos(L"decor"), 41, 382, 111, 398));
    EXPECT_TRUE(Is(Pos(L"txtDir"), 123, 376, 493, 401));
    EXPECT_TRUE(Is(Pos(L"btnBrowse"), 474, 382, 489, 397));
    EXPECT_TRUE(Is(Pos(L"btnNext"), 516, 375, 604, 403));
    EXPECT_TRUE(Is(Pos(L"layoutSetup"), 24, 450, 617, 543));
    EXPECT_TRUE(Is(Pos(L"row"), 24, 460, 617, 480));
    EXPECT_TRUE(Is(Pos(L"spacer"), 24, 460, 542, 480));
    EXPECT_TRUE(Is(Pos(L"txtPercentage"), 542, 460, 592, 475));
    EXPECT_TRUE(Is(Pos(L"track"), 40, 485, 600, 496));
    EXPECT_TRUE(Is(Pos(L"lblProgress"), 46, 456, 615, 525));
    EXPECT_TRUE(Is(Pos(L"lblDebug"), 264, 470, 564, 490));
    EXPECT_TRUE(Is(Pos(L"layoutFinish"), 1, 543, 646, 648));
    EXPECT_TRUE(Is(Pos(L"btnFinish"), 254, 578, 394, 613));

    // Hiding the directory page brings the progress page into the window.
    manager.FindByName(L"layoutStart")->SetVisible(false);
    root->PlaceAt(RECT{0, 0, 647, 449}, false);
    EXPECT_TRUE(Is(Pos(L"layoutSetup"), 24, 345, 617, 438));
    EXPECT_TRUE(Is(Pos(L"lblProgress"), 46, 351, 615, 420));
    EXPECT_TRUE(Is(Pos(L"layoutFinish"), 1, 438, 646, 543));
}

TEST_F(SkinLayout, SetupWizardSkinAtFractionalScalesMeetsEdgeToEdge)
{
    CControlUI* root = Lay(kSetupSkin, RECT{0, 0, 647, 449});
    ASSERT_NE(root, nullptr);
    for (int dpi : {120, 168, 96}) {
        manager.SetDpi(dpi, true);
        const DpiScale s(dpi);
        root->PlaceAt(RECT{0, 0, s.Scale(647), s.Scale(449)}, false);
        SCOPED_TRACE(dpi);
        // The pages stack without a pixel between them or over each other,
        // the progress page's padding scaled with the rest.
        EXPECT_EQ(Pos(L"topBgLayout").top, s.Scale(1));
        EXPECT_EQ(Pos(L"topBgLayout").bottom, Pos(L"layoutStart").top);
        EXPECT_EQ(Pos(L"layoutStart").bottom + s.Scale(2), Pos(L"layoutSetup").top);
        EXPECT_EQ(Pos(L"layoutSetup").bottom, Pos(L"layoutFinish").top);
        EXPECT_EQ(Pos(L"layoutStart").right, s.Scale(647) - s.Scale(1));
        // Floating controls sit at their scaled edges: the browse button
        // inside the folder box exactly where the skin puts it.
        const RECT start = Pos(L"layoutStart");
        EXPECT_TRUE(Is(Pos(L"txtDir"), start.left + s.Scale(122), start.top + s.Scale(33), start.left + s.Scale(492),
                       start.top + s.Scale(58)));
        EXPECT_TRUE(Is(Pos(L"btnBrowse"), start.left + s.Scale(473), start.top + s.Scale(39),
                       start.left + s.Scale(488), start.top + s.Scale(54)));
        EXPECT_TRUE(Is(Pos(L"btnNext"), start.left + s.Scale(515), start.top + s.Scale(32), start.left + s.Scale(603),
                       start.top + s.Scale(60)));
        // The percentage's row: the spacer ends where the label begins.
        EXPECT_EQ(Pos(L"spacer").right, Pos(L"txtPercentage").left);
        EXPECT_EQ(Pos(L"txtPercentage").right + s.Scale(25), Pos(L"row").right);
    }
    // Back at 100 % every rectangle is the original one: the scaled trips
    // left no rounding behind in the floating controls' positions.
    EXPECT_TRUE(Is(Pos(L"txtDir"), 123, 376, 493, 401));
    EXPECT_TRUE(Is(Pos(L"btnNext"), 516, 375, 604, 403));
    EXPECT_TRUE(Is(Pos(L"lblProgress"), 46, 456, 615, 525));
    EXPECT_TRUE(Is(Pos(L"layoutFinish"), 1, 543, 646, 648));
}

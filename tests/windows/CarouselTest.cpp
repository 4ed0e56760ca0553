#include <gtest/gtest.h>

#include "ui/controls/LabelUI.h"
#include "ui/controls/MovingContainer.h"
#include "ui/controls/VerticalLayoutUI.h"
#include "ui/core/WindowImplBase.h"
#include "windows/WindowTestSupport.h"

using namespace SkinUI;

namespace {

class HostWindow : public WindowImplBase {
public:
    MovingContainer* carousel = nullptr;

protected:
    const wchar_t* GetWindowClassName() const override { return L"CarouselHost"; }
    CUIString SkinFolder() override { return L""; }
    CUIString SkinSource() override
    {
        return L"<Window size=\"647,449\"><HorizontalLayout name=\"host\" height=\"332\" width=\"597\"/></Window>";
    }
    void OnInitialized() override
    {
        auto* host = static_cast<CContainerUI*>(GetManager().FindByName(L"host")->InterfaceByName(L"Container"));
        carousel = new MovingContainer(GetHWND());
        host->Add(carousel);
        for (const wchar_t* id : {L"148", L"143", L"150", L"174"}) {
            auto* label = new CLabelUI();
            label->SetBkImage((CUIString(L"res='") + id + L"' restype='png' xtiled='false' ytiled='false'"));
            label->SetName(id);
            carousel->AddItem(label);
        }
        carousel->Start();
    }
};

struct Carousel : ::testing::Test {
    void SetUp() override
    {
        UseInstallerResources();
        ASSERT_NE(window.CreateNativeWindow(nullptr, L"carousel", WS_POPUP | WS_VISIBLE, 0, 0, 0, 647, 449), nullptr);
        carousel = window.carousel;
        ASSERT_NE(carousel, nullptr);
    }
    void TearDown() override { DestroyWindow(window.GetHWND()); }

    // Runs one slide to its end; returns the number of ticks and the steps.
    std::vector<int> Slide()
    {
        std::vector<int> steps;
        carousel->OnSwitchTimer();
        EXPECT_TRUE(carousel->IsMoving());
        while (carousel->IsMoving() && steps.size() < 200) {
            int before = carousel->GetFrontPanel()->GetFixedXY().cx;
            CContainerUI* front = carousel->GetFrontPanel();
            carousel->OnMoveTimer();
            steps.push_back(before - front->GetFixedXY().cx);
        }
        return steps;
    }

    HostWindow window;
    MovingContainer* carousel = nullptr;
};

}  // namespace

TEST_F(Carousel, ShowsThePicturesInTurnAndWrapsAround)
{
    std::vector<std::wstring> shown{carousel->GetCurrentItem()->GetName().GetData()};
    for (int i = 0; i < 4; ++i) {
        Slide();
        shown.push_back(carousel->GetCurrentItem()->GetName().GetData());
        // The shown picture is in the centre panel, at x 0.
        EXPECT_EQ(carousel->GetFrontPanel()->GetFixedXY().cx, 0);
        EXPECT_EQ(carousel->GetFrontPanel()->GetItemAt(0), carousel->GetCurrentItem());
    }
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"148", L"143", L"150", L"174", L"148"}));
}

TEST_F(Carousel, ASlideIsSixtySixStepsOfNineAndOneOfThree)
{
    std::vector<int> steps = Slide();
    ASSERT_EQ(steps.size(), 67u);
    for (size_t i = 0; i < 66; ++i) EXPECT_EQ(steps[i], 9) << i;
    EXPECT_EQ(steps[66], 3);
    // And the next slide starts again with full steps.
    steps = Slide();
    EXPECT_EQ(steps.front(), 9);
    EXPECT_EQ(steps.size(), 67u);
}

TEST_F(Carousel, ASwitchTickDuringASlideChangesNothing)
{
    carousel->OnSwitchTimer();
    for (int i = 0; i < 10; ++i) carousel->OnMoveTimer();
    int x = carousel->GetFrontPanel()->GetFixedXY().cx;
    carousel->OnSwitchTimer();
    EXPECT_EQ(carousel->GetFrontPanel()->GetFixedXY().cx, x);
    carousel->OnMoveTimer();
    EXPECT_EQ(carousel->GetFrontPanel()->GetFixedXY().cx, x - 9);
}

TEST_F(Carousel, NoSlideStartsWhileTheWindowIsHidden)
{
    ShowWindow(window.GetHWND(), SW_HIDE);
    carousel->OnSwitchTimer();
    EXPECT_FALSE(carousel->IsMoving());
    ShowWindow(window.GetHWND(), SW_SHOWNOACTIVATE);
    carousel->OnSwitchTimer();
    EXPECT_TRUE(carousel->IsMoving());
}

TEST(CarouselShortLists, OneOrTwoPicturesNeverLeaveThePictureInTheCentreEmpty)
{
    for (int count : {0, 1, 2}) {
        auto* carousel = new MovingContainer(nullptr);
        std::vector<CLabelUI*> labels;
        for (int i = 0; i < count; ++i) {
            labels.push_back(new CLabelUI());
            carousel->AddItem(labels.back());
        }
        carousel->Start();
        if (count > 0) {
            EXPECT_EQ(carousel->GetFrontPanel()->GetItemAt(0), labels[0]) << count;
        }
        if (count == 2) {
            // Slides alternate the two pictures; the hidden panel gives its
            // picture up to the one coming in.
            for (int slide = 1; slide <= 3; ++slide) {
                for (int tick = 0; tick < 67; ++tick) carousel->OnMoveTimer();
                EXPECT_EQ(carousel->GetFrontPanel()->GetItemAt(0), labels[static_cast<size_t>(slide % 2)]);
            }
        }
        carousel->Delete();  // no picture is left owned by nobody (checked under the leak tools)
    }
}

#include <gtest/gtest.h>

#include "HostWindow.h"
#include "ui/controls/ContainerUI.h"

using namespace SkinUI;
using testing_support::HostWindow;

TEST(ManagerTimers, SystemIdsCountFrom17AndWrapAfter254)
{
    HostWindow window;
    ASSERT_TRUE(window.Create());
    auto* root = new CContainerUI;
    window.manager.AttachTree(root);

    UINT_PTR expected = 17;
    for (UINT id = 1; id <= 239; ++id) {
        ASSERT_TRUE(window.manager.SetUITimer(root, id, 60000)) << id;
        ASSERT_EQ(window.manager.GetSystemTimerId(root, id), expected) << id;
        expected = (expected + 1) % 255;
    }
    EXPECT_EQ(window.manager.GetSystemTimerId(root, 238), 254u);
    EXPECT_EQ(window.manager.GetSystemTimerId(root, 239), 0u);
    // Ids still held by this window's timers are passed over after the
    // wrap: 1 to 16 are free, 17 is not.
    window.manager.KillUITimer(root, 1);  // killed, but its entry keeps 17
    for (UINT id = 240; id <= 255; ++id) ASSERT_TRUE(window.manager.SetUITimer(root, id, 60000));
    EXPECT_EQ(window.manager.GetSystemTimerId(root, 240), 1u);
    EXPECT_EQ(window.manager.GetSystemTimerId(root, 255), 16u);
    window.manager.KillUITimers(root);
    EXPECT_EQ(window.manager.GetSystemTimerId(root, 1), 0u);
}

TEST(ManagerTimers, KilledTimerRestartsUnderItsOldIdAndFiresToItsControl)
{
    HostWindow window;
    ASSERT_TRUE(window.Create());
    auto* root = new CContainerUI;
    auto* child = new CControlUI;
    child->SetName(L"ticker");
    root->Add(child);
    window.manager.AttachTree(root);

    ASSERT_TRUE(window.manager.SetUITimer(child, 11, 60000));
    ASSERT_TRUE(window.manager.SetUITimer(root, 11, 60000));
    UINT_PTR systemId = window.manager.GetSystemTimerId(child, 11);
    EXPECT_FALSE(window.manager.SetUITimer(child, 11, 30));  // already running

    window.Send(WM_TIMER, systemId, 0);
    ASSERT_EQ(window.Count(L"timer", L"ticker"), 1);
    EXPECT_EQ(window.notes.back().wParam, 11u);

    EXPECT_TRUE(window.manager.KillUITimer(child, 11));
    window.Send(WM_TIMER, systemId, 0);  // a killed timer's message reaches nobody
    EXPECT_EQ(window.Count(L"timer"), 1);
    EXPECT_TRUE(window.manager.SetUITimer(child, 11, 60000));
    EXPECT_EQ(window.manager.GetSystemTimerId(child, 11), systemId);

    // A deleted control takes its timers with it.
    root->Remove(child);
    window.Send(WM_TIMER, systemId, 0);
    EXPECT_EQ(window.Count(L"timer"), 1);
    EXPECT_NE(window.manager.GetSystemTimerId(root, 11), 0u);
}

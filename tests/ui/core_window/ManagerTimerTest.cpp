#include <gtest/gtest.h>

#include "HostWindow.h"
#include "ui/controls/ContainerUI.h"

using namespace SkinUI;
using testing_support::HostWindow;

// The controls' timers share the window with timers of the window's own code
// (the carousel's 1 and 2) and the layered flush: their ids keep to a range of
// their own, skip ids still held after a wrap, and run out rather than reuse.
TEST(ManagerTimers, SystemIdsStayInTheirRangeSkipHeldIdsAndNeverCollide)
{
    HostWindow window;
    ASSERT_TRUE(window.Create());
    auto* root = new CContainerUI;
    auto* child = new CContainerUI;
    root->Add(child);
    window.manager.AttachTree(root);

    const UINT_PTR first = CUIManager::kFirstUITimerId;
    const UINT count = static_cast<UINT>(CUIManager::kUITimerIdCount);
    for (UINT id = 1; id < count; ++id) {
        ASSERT_TRUE(window.manager.SetUITimer(root, id, 60000)) << id;
        ASSERT_EQ(window.manager.GetSystemTimerId(root, id), first + id) << id;
    }
    EXPECT_LT(first + count - 1, CUIManager::kLayeredTimerId);
    // The wrap comes back to the start of the range, never to 1 or 2.
    window.manager.KillUITimer(root, 5);  // killed, but its entry keeps its id
    ASSERT_TRUE(window.manager.SetUITimer(child, 1, 60000));
    EXPECT_EQ(window.manager.GetSystemTimerId(child, 1), first);
    EXPECT_FALSE(window.manager.SetUITimer(child, 2, 60000)) << "every id is held";
    EXPECT_EQ(window.manager.GetSystemTimerId(child, 2), 0u);

    window.manager.KillUITimers(child);
    ASSERT_TRUE(window.manager.SetUITimer(child, 2, 60000));
    EXPECT_EQ(window.manager.GetSystemTimerId(child, 2), first);
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

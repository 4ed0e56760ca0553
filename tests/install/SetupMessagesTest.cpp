#include <gtest/gtest.h>

#include <thread>

#include "install/SetupMessages.h"
#include "support/TestSupport.h"
#include "ui/core/UIString.h"

using namespace testing_support;

namespace {

struct CancelEventFixture : ::testing::Test {
    void SetUp() override { cancelEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr); }
    void TearDown() override
    {
        CloseHandle(cancelEvent);
        cancelEvent = nullptr;
    }
};

}  // namespace

TEST_F(CancelEventFixture, ProgressIsPostedTruncated)
{
    MessageCollector window;
    EXPECT_TRUE(ReportDownloadProgress(window.Handle(), 99.97));
    EXPECT_TRUE(ReportExtractProgress(window.Handle(), 100.0));
    EXPECT_TRUE(ReportExtractProgress(window.Handle(), 0.4));
    auto messages = window.Pump();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].message, static_cast<UINT>(WM_SETUP_DOWNLOAD_PROGRESS));
    EXPECT_EQ(messages[0].wParam, 99u);
    EXPECT_EQ(messages[1].message, static_cast<UINT>(WM_SETUP_EXTRACT_PROGRESS));
    EXPECT_EQ(messages[1].wParam, 100u);
    EXPECT_EQ(messages[2].wParam, 0u);
    EXPECT_EQ(messages[2].lParam, 0);
}

TEST_F(CancelEventFixture, ReportsThatChangeNoWholePercentAreNotPosted)
{
    // A transfer reports every thousandth; the window shows whole percents.
    MessageCollector window;
    for (int tenth = 0; tenth <= 1000; ++tenth) EXPECT_TRUE(ReportDownloadProgress(window.Handle(), tenth / 10.0));
    // A retry that starts lower again, and the extraction after it.
    EXPECT_TRUE(ReportDownloadProgress(window.Handle(), 42.5));
    EXPECT_TRUE(ReportExtractProgress(window.Handle(), 0));
    EXPECT_TRUE(ReportExtractProgress(window.Handle(), 0.5));
    auto messages = window.Pump();
    ASSERT_EQ(messages.size(), 103u);
    for (unsigned percent = 0; percent <= 100; ++percent) EXPECT_EQ(messages[percent].wParam, percent);
    EXPECT_EQ(messages[101].wParam, 42u);
    EXPECT_EQ(messages[102].message, static_cast<UINT>(WM_SETUP_EXTRACT_PROGRESS));
}

TEST_F(CancelEventFixture, OneRequestIsSeenByOneReportOnly)
{
    MessageCollector window;
    RequestCancel();
    EXPECT_FALSE(ReportDownloadProgress(window.Handle(), 10));
    // The auto-reset event was consumed by the report that saw it.
    EXPECT_TRUE(ReportDownloadProgress(window.Handle(), 20));
    auto messages = window.Pump();
    ASSERT_EQ(messages.size(), 1u);  // nothing posted for the cancelled report
    EXPECT_EQ(messages[0].wParam, 20u);

    // A wait elsewhere (the pause before a download) would take it instead.
    RequestCancel();
    EXPECT_EQ(WaitForSingleObject(cancelEvent, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReportExtractProgress(window.Handle(), 30));
}

TEST_F(CancelEventFixture, NullWindowPostsNothingButStillSeesTheRequest)
{
    EXPECT_TRUE(ReportExtractProgress(nullptr, 50));
    RequestCancel();
    EXPECT_FALSE(ReportExtractProgress(nullptr, 50));
}

TEST_F(CancelEventFixture, RequestFromAnotherThreadIsSeen)
{
    std::thread window([] { RequestCancel(); });
    window.join();
    EXPECT_FALSE(ReportDownloadProgress(nullptr, 1));
}

TEST(SetupMessages, ReportsWithoutACancelEventNeverCancel)
{
    ASSERT_EQ(cancelEvent, nullptr);
    RequestCancel();  // the window may leave before the thread was ever started
    EXPECT_TRUE(ReportDownloadProgress(nullptr, 1));
}

TEST(SetupMessages, StatusTextBelongsToTheReceiver)
{
    MessageCollector window;
    PostStatusText(window.Handle(), L"解压成功");
    PostStatusText(window.Handle(), L"downloading");
    auto messages = window.Pump();
    ASSERT_EQ(messages.size(), 2u);
    for (auto& m : messages) EXPECT_EQ(m.message, static_cast<UINT>(WM_SETUP_STATUS_TEXT));
    auto* first = reinterpret_cast<SkinUI::CUIString*>(messages[0].wParam);
    auto* second = reinterpret_cast<SkinUI::CUIString*>(messages[1].wParam);
    EXPECT_EQ(*first, L"解压成功");
    EXPECT_EQ(*second, L"downloading");
    EXPECT_NE(first, second);
    delete first;
    delete second;

    // A post that fails cannot hand the text to anyone; the sender frees it
    // (nothing to observe but that this neither crashes nor leaks).
    HWND gone = window.Handle();
    {
        MessageCollector other;
        gone = other.Handle();
    }
    for (int i = 0; i < 1000; ++i) PostStatusText(gone, L"lost");
}

// What the install thread posts reaches the wizard through whichever message
// loop runs at the time: the system's move loop while the user drags the
// window, a message box, or none at all when the window goes first.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <vector>


#include "app/InstallSettings.h"
#include "install/SetupMessages.h"
#include "ui/controls/MovingContainer.h"
#include "windows/SetupingWnd.h"
#include "windows/WindowStyle.h"
#include "windows/WindowTestSupport.h"

using namespace SkinUI;
using namespace testing_support;

namespace {

void AcceptBox(const wchar_t*)
{
    InstallSettings::installDir = L"C:\\Program Files\\Box\\";
    InstallSettings::exeName = L"Box.exe";
    InstallSettings::appName = L"Box";
    InstallSettings::boxName = L"Box";
}

// Ends the nested loop from inside it, once the queue ahead has been run:
// a key the move loop stops at, or OK on the message box.
HWND g_wizard = nullptr;
// Ends the move loop once the slide under way has arrived (or after ten
// seconds, when its timer never ticked in the loop): a fixed second was
// shorter than a slide on a loaded machine.
SkinUI::MovingContainer* g_carousel = nullptr;
DWORD g_dragStart = 0;
void CALLBACK EndMoveLoopWhenSlid(HWND, UINT, UINT_PTR id, DWORD)
{
    if (g_carousel->IsMoving() && ::GetTickCount() - g_dragStart < 10000) return;
    ::KillTimer(nullptr, id);
    ::PostMessageW(g_wizard, WM_KEYDOWN, VK_RETURN, 0);
}
void CALLBACK EndMessageBox(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND box = ::FindWindowW(L"#32770", L"nested");
    if (box == nullptr) return;  // not up yet: the next tick
    ::KillTimer(nullptr, id);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
}

struct WizardLoops : ::testing::Test {
    void SetUp() override
    {
        UseInstallerResources();
        InstallSettings::SetDefaults();
        SetupingWnd::s_runNameWindow = AcceptBox;
        wizard = new SetupingWnd();
        ASSERT_NE(wizard->CreateNativeWindow(nullptr, L"", kInstallerWindowStyle, 0), nullptr);
        g_wizard = wizard->GetHWND();
        ::SetForegroundWindow(g_wizard);
        wizard->GetManager().PaintNow();
        PumpWindowMessages();
        // The installation has begun: the progress page is in view.
        wizard->layoutStart->SetVisible(false);
        wizard->layoutSetup->SetVisible(true);
        wizard->GetManager().PaintNow();
        InstallSettings::installDir = dir.Slash().c_str();
    }
    void TearDown() override
    {
        if (::IsWindow(g_wizard)) ::DestroyWindow(g_wizard);
        delete wizard;
        PumpWindowMessages();
    }
    // What a sequence posts from start to end, as the install thread does.
    void PostAWholeInstallation()
    {
        ::PostMessageW(g_wizard, WM_SETUP_DOWNLOAD_PROGRESS, 40, 0);
        PostStatusText(g_wizard, L"downloading");
        ::PostMessageW(g_wizard, WM_SETUP_EXTRACT_PROGRESS, 100, 0);
        PostStatusText(g_wizard, L"AddRegeditKeyAndValues finish");
        ::PostMessageW(g_wizard, WM_SETUP_FINISHED, 0, 0);
    }
    void ExpectFinished()
    {
        EXPECT_EQ(wizard->txtPercentage->GetText(), L"100%");
        EXPECT_TRUE(wizard->layoutFinish->IsVisible());
        EXPECT_FALSE(wizard->layoutSetup->IsVisible());
    }

    TempDir dir;
    SetupingWnd* wizard = nullptr;
};

}  // namespace

TEST_F(WizardLoops, AnInstallationFinishesWhileTheWindowIsBeingDragged)
{
    // A slide under way: its timer must go on ticking in the move loop.
    MovingContainer* carousel = wizard->background;
    ASSERT_NE(carousel, nullptr);
    carousel->OnSwitchTimer();
    ASSERT_TRUE(carousel->IsMoving());
    const int index = carousel->GetCurrentIndex();

    PostAWholeInstallation();
    g_carousel = carousel;
    g_dragStart = ::GetTickCount();
    ::SetTimer(nullptr, 0, 100, EndMoveLoopWhenSlid);
    // The system's move loop, as a drag on the caption (or Alt+Space, Move)
    // runs it; it returns when the key arrives.
    ::SendMessageW(g_wizard, WM_SYSCOMMAND, SC_MOVE, 0);

    MSG left;
    EXPECT_FALSE(::PeekMessageW(&left, g_wizard, WM_SETUP_START, WM_SETUP_FINISHED, PM_NOREMOVE))
        << "the move loop left setup messages for our own loop";
    ExpectFinished();
    EXPECT_FALSE(carousel->IsMoving()) << "the slide stood still while the window was held";
    EXPECT_NE(carousel->GetCurrentIndex(), index);
}

TEST_F(WizardLoops, AnInstallationFinishesUnderAMessageBox)
{
    PostAWholeInstallation();
    ::SetTimer(nullptr, 0, 50, EndMessageBox);
    ::MessageBoxW(g_wizard, L"nested", L"nested", MB_OK);
    ExpectFinished();
}

namespace {

// The status texts the test posts, followed through the program's own
// allocator: each is a CUIString made with new, and must meet its delete.
bool g_trackTexts = false;
std::vector<void*>* g_liveTexts = nullptr;

}  // namespace

void* operator new(std::size_t size)
{
    void* block = std::malloc(size != 0 ? size : 1);
    if (block == nullptr) throw std::bad_alloc();
    if (g_trackTexts && size == sizeof(CUIString)) {
        g_trackTexts = false;  // the list's own growth is not followed
        g_liveTexts->push_back(block);
        g_trackTexts = true;
    }
    return block;
}

namespace {

void ForgetAndFree(void* block)
{
    if (g_liveTexts != nullptr && block != nullptr) {
        auto it = std::find(g_liveTexts->begin(), g_liveTexts->end(), block);
        if (it != g_liveTexts->end()) g_liveTexts->erase(it);
    }
    std::free(block);
}

}  // namespace

void operator delete(void* block) noexcept { ForgetAndFree(block); }
void operator delete(void* block, std::size_t) noexcept { ForgetAndFree(block); }

TEST_F(WizardLoops, StatusTextsStillQueuedAreFreedWhenTheWindowGoes)
{
    // The window is destroyed (Escape during an installation) before it
    // reads what the sequence posted: the texts are the receiver's to free.
    std::vector<void*> live;
    live.reserve(64);
    g_liveTexts = &live;
    g_trackTexts = true;
    for (int i = 0; i < 20; ++i) PostStatusText(g_wizard, L"downloading");
    g_trackTexts = false;
    ASSERT_EQ(live.size(), 20u);
    ::DestroyWindow(g_wizard);
    EXPECT_EQ(live.size(), 0u) << "status texts leaked with the window";
    g_liveTexts = nullptr;
    MSG left;
    EXPECT_FALSE(::PeekMessageW(&left, nullptr, WM_SETUP_STATUS_TEXT, WM_SETUP_STATUS_TEXT, PM_NOREMOVE));
}

// The installer's windows driven from the keyboard alone, with real posted
// key messages through the modal loop's path: where the focus starts on each
// page, where Tab takes it, and what Enter does.

#include <gtest/gtest.h>

#include "app/InstallSettings.h"
#include "install/SetupMessages.h"
#include "ui/controls/EditUI.h"
#include "windows/SetNameWnd.h"
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
void NoPrompt(HWND, const wchar_t*) {}

CUIString FocusName(CUIManager& manager)
{
    return manager.GetFocus() != nullptr ? manager.GetFocus()->GetName() : CUIString(L"(none)");
}

// Posts a key-down where the keyboard is (the window, or an edit's native
// child) and runs the queue as the modal loop would. WM_SETUP_START is taken
// off the queue and counted rather than run: the tests start no sequence.
struct KeyPump {
    int setupStarts = 0;
    bool quit = false;
    void Key(HWND window, WPARAM key)
    {
        HWND target = ::GetFocus();
        if (target == nullptr || (target != window && !::IsChild(window, target))) target = window;
        ::PostMessageW(target, WM_KEYDOWN, key, 0);
        Run();
    }
    void Run()
    {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_SETUP_START) {
                ++setupStarts;
                continue;
            }
            if (message.message == WM_QUIT) {
                quit = true;
                continue;
            }
            if (!CUIManager::PreTranslateMessage(&message)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        }
    }
};

struct WizardKeys : ::testing::Test {
    void SetUp() override
    {
        UseInstallerResources();
        InstallSettings::SetDefaults();
        SetupingWnd::s_runNameWindow = AcceptBox;
        SetupingWnd::s_showPrompt = NoPrompt;
        wizard = new SetupingWnd();
        ASSERT_NE(wizard->CreateNativeWindow(nullptr, L"", kInstallerWindowStyle, 0), nullptr);
        ::SetForegroundWindow(wizard->GetHWND());
        wizard->GetManager().PaintNow();
        keys.Run();
        wizard->txtDir->SetText(dir.Path().c_str());
    }
    void TearDown() override
    {
        if (::IsWindow(wizard->GetHWND())) ::DestroyWindow(wizard->GetHWND());
        delete wizard;
        keys.Run();
    }
    CUIManager& Manager() { return wizard->GetManager(); }
    void Press(WPARAM key) { keys.Key(wizard->GetHWND(), key); }
    void Repaint()
    {
        Manager().PaintNow();
        keys.Run();
    }

    TempDir dir;
    SetupingWnd* wizard = nullptr;
    KeyPump keys;
};

}  // namespace

TEST_F(WizardKeys, TheDirectoryPageTabsThroughItsThreeControlsOnly)
{
    EXPECT_EQ(FocusName(Manager()), L"btnNext") << "the page's main button";

    // Reading order, round and round; the finish page's button below the
    // window never comes up.
    const wchar_t* expected[] = {L"txtDir", L"btnBrowse", L"btnNext", L"txtDir", L"btnBrowse", L"btnNext"};
    for (const wchar_t* name : expected) {
        Press(VK_TAB);
        EXPECT_EQ(FocusName(Manager()), name);
        if (std::wstring(name) == L"txtDir") {
            EXPECT_NE(static_cast<CEditUI*>(wizard->txtDir)->GetNativeWindow(), nullptr);
        }
    }
    EXPECT_FALSE(Manager().IsInView(Manager().FindByName(L"btnFinish")));
    EXPECT_FALSE(Manager().IsInView(wizard->lblProgress));
    EXPECT_TRUE(Manager().IsInView(wizard->txtDir));
    EXPECT_EQ(keys.setupStarts, 0);
    EXPECT_FALSE(keys.quit);
}

TEST_F(WizardKeys, EnterDoesEachPagesMainActionAndNothingWhileInstalling)
{
    wizard->runAfterFinish = false;  // no program to start here

    // Tab, Tab, Enter from the folder field: 确认, whichever button has the
    // focus; never 安装完成, which is out of view.
    Press(VK_TAB);
    Press(VK_TAB);
    Press(VK_RETURN);
    EXPECT_EQ(keys.setupStarts, 1);
    EXPECT_FALSE(keys.quit);
    EXPECT_FALSE(wizard->layoutStart->IsVisible());
    EXPECT_EQ(std::wstring(InstallSettings::installDir), dir / L"Box\\");

    // The progress page: Enter and Space do nothing, the focus is nowhere.
    Repaint();
    EXPECT_EQ(FocusName(Manager()), L"(none)");
    Press(VK_RETURN);
    Press(VK_SPACE);
    Press(VK_TAB);
    EXPECT_EQ(keys.setupStarts, 1);
    EXPECT_FALSE(keys.quit);
    EXPECT_TRUE(::IsWindow(wizard->GetHWND()));

    // The finish page: 安装完成 takes the focus, and Enter finishes.
    ::PostMessageW(wizard->GetHWND(), WM_SETUP_FINISHED, 0, 0);
    keys.Run();
    Repaint();
    EXPECT_EQ(FocusName(Manager()), L"btnFinish");
    Press(VK_RETURN);
    EXPECT_TRUE(keys.quit);
}

TEST_F(WizardKeys, EscapeStillCloses)
{
    Press(VK_ESCAPE);
    EXPECT_FALSE(::IsWindow(wizard->GetHWND()));
}

namespace {

// The name window of a wizard that is still hidden: it must keep the
// keyboard while the hidden wizard's timers and first paint run in its loop.
bool g_nameKeptTheFocus = false;
void NameWindowOverAHiddenWizard(const wchar_t*)
{
    HWND name = ::CreateWindowExW(0, L"STATIC", L"name", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                  nullptr, nullptr);
    ::SetForegroundWindow(name);
    ::SetFocus(name);
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < 300) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!CUIManager::PreTranslateMessage(&message)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    g_nameKeptTheFocus = ::GetFocus() == name;
    ::DestroyWindow(name);
    AcceptBox(nullptr);
}

}  // namespace

TEST(WizardFocus, AHiddenWizardTakesNoFocusAndTakesItOnceShown)
{
    UseInstallerResources();
    InstallSettings::SetDefaults();
    SetupingWnd::s_runNameWindow = NameWindowOverAHiddenWizard;
    SetupingWnd wizard;
    ASSERT_NE(wizard.CreateNativeWindow(nullptr, L"", kInstallerWindowStyle, 0), nullptr);
    SetupingWnd::s_runNameWindow = AcceptBox;
    EXPECT_TRUE(g_nameKeptTheFocus) << "the hidden wizard took the keyboard from the name window";

    // Shown now (the style is visible): its first paint after that focuses
    // the page's main button.
    ::SetForegroundWindow(wizard.GetHWND());
    KeyPump keys;
    const DWORD start = ::GetTickCount();
    while (wizard.GetManager().GetFocus() == nullptr && ::GetTickCount() - start < 2000) {
        keys.Run();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    EXPECT_EQ(FocusName(wizard.GetManager()), L"btnNext");
    ::DestroyWindow(wizard.GetHWND());
    keys.Run();
}

namespace {

struct NameKeys : ::testing::Test {
    void SetUp() override
    {
        UseInstallerResources();
        InstallSettings::SetDefaults();
        ASSERT_NE(window.CreateNativeWindow(nullptr, kModalTitle, kInstallerWindowStyle, 0), nullptr);
        ::SetForegroundWindow(window.GetHWND());
        window.GetManager().PaintNow();
        keys.Run();
        edit = static_cast<CEditUI*>(window.GetManager().FindByName(L"TextSetName"));
        ASSERT_NE(edit, nullptr);
    }
    void TearDown() override
    {
        if (::IsWindow(window.GetHWND())) ::DestroyWindow(window.GetHWND());
        keys.Run();
    }
    void Char(wchar_t ch)
    {
        ::PostMessageW(::GetFocus(), WM_CHAR, ch, 0);
        keys.Run();
    }

    SetNameWnd window;
    CEditUI* edit = nullptr;
    KeyPump keys;
};

}  // namespace

TEST_F(NameKeys, OpensReadyToTypeWithTheHintUntilTheFirstKey)
{
    EXPECT_EQ(FocusName(window.GetManager()), L"TextSetName");
    ASSERT_NE(edit->GetNativeWindow(), nullptr);
    EXPECT_EQ(::GetFocus(), edit->GetNativeWindow());
    EXPECT_EQ(edit->GetText(), SetNameWnd::kHint) << "the hint stays readable until the user types";

    for (wchar_t ch : {L'M', L'y', L' ', L'B', L'o', L'x'}) Char(ch);
    EXPECT_EQ(edit->GetText(), L"My Box");
    keys.Key(window.GetHWND(), VK_RETURN);
    EXPECT_EQ(InstallSettings::boxName, L"My Box");
    EXPECT_FALSE(::IsWindow(window.GetHWND())) << "Enter is 立即安装";
}

TEST_F(NameKeys, EnterOnTheHintWarnsAndTabReachesTheButton)
{
    keys.Key(window.GetHWND(), VK_RETURN);
    EXPECT_EQ(edit->GetText(), SetNameWnd::kNoNameWarning);
    EXPECT_TRUE(InstallSettings::boxName.IsEmpty());
    keys.Key(window.GetHWND(), VK_TAB);
    EXPECT_EQ(FocusName(window.GetManager()), L"btnSetName");
    keys.Key(window.GetHWND(), VK_TAB);
    EXPECT_EQ(FocusName(window.GetManager()), L"TextSetName");
    EXPECT_EQ(edit->GetText(), L"") << "coming back by Tab clears the warning as a click does";
    Char(L'x');
    keys.Key(window.GetHWND(), VK_RETURN);
    EXPECT_EQ(InstallSettings::boxName, L"x");
}

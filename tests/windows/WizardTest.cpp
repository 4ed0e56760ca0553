#include <gtest/gtest.h>

#include "app/InstallSettings.h"
#include "install/SetupMessages.h"
#include "ui/controls/LabelUI.h"
#include "windows/DesktopShell.h"
#include "windows/PromptWnd.h"
#include "windows/SetNameWnd.h"
#include "windows/SetupingWnd.h"
#include "windows/WindowStyle.h"
#include "windows/WindowTestSupport.h"

using namespace SkinUI;
using namespace testing_support;

namespace {

std::wstring g_prompted;
void AcceptBox(const wchar_t*)
{
    InstallSettings::installDir = L"C:\\Program Files\\Box\\";
    InstallSettings::exeName = L"Box.exe";
    InstallSettings::appName = L"Box";
    InstallSettings::boxName = L"Box";
}
void NoName(const wchar_t*) {}
HWND g_promptOwner = nullptr;
void RecordPrompt(HWND owner, const wchar_t* message)
{
    g_prompted = message;
    g_promptOwner = owner;
}

int g_asked = 0;
bool g_leave = false;
bool RecordQuestion(HWND owner, const wchar_t* question)
{
    ++g_asked;
    EXPECT_STREQ(question, SetupingWnd::kLeaveQuestion);
    EXPECT_NE(owner, nullptr);
    return g_leave;
}

struct Wizard : ::testing::Test {
    void SetUp() override
    {
        UseInstallerResources();
        InstallSettings::SetDefaults();
        SetupingWnd::s_runNameWindow = AcceptBox;
        SetupingWnd::s_showPrompt = RecordPrompt;
        SetupingWnd::s_confirmLeave = RecordQuestion;
        g_prompted.clear();
        g_asked = 0;
        wizard = new SetupingWnd();
        ASSERT_NE(wizard->CreateNativeWindow(nullptr, L"", kInstallerWindowStyle, 0), nullptr);
        // The first layout and paint, now: a layered window's paint waits
        // for a timer that a busy machine may not have fired yet.
        wizard->GetManager().PaintNow();
        PumpWindowMessages();
    }
    void TearDown() override
    {
        if (IsWindow(wizard->GetHWND())) DestroyWindow(wizard->GetHWND());
        delete wizard;
        PumpWindowMessages();
    }
    CLabelUI* Label(const wchar_t* name)
    {
        CControlUI* control = wizard->GetManager().FindByName(name);
        return control ? static_cast<CLabelUI*>(control->InterfaceByName(L"Label")) : nullptr;
    }
    SetupingWnd* wizard = nullptr;
};

}  // namespace

TEST(WizardProgress, TheStripIsDrawnOnceAndNeverStartsLeftOfThePicture)
{
    EXPECT_EQ(SetupingWnd::ProgressImage(563), L"res='146' restype='png' source='2,0,565,69' dest='0,0,563,69'");
    EXPECT_EQ(SetupingWnd::ProgressImage(569), L"res='146' restype='png' source='0,0,565,69' dest='0,0,565,69'");
    EXPECT_EQ(SetupingWnd::ProgressImage(1), L"res='146' restype='png' source='564,0,565,69' dest='0,0,1,69'");
}

TEST_F(Wizard, StartsOnTheDirectoryPageWithTheNamedDirectory)
{
    EXPECT_EQ(wizard->txtDir->GetText(), L"C:\\Program Files\\Box\\");
    EXPECT_TRUE(wizard->layoutStart->IsVisible());
    EXPECT_EQ(wizard->btnRun, nullptr);
    EXPECT_NE(wizard->background, nullptr);
    EXPECT_EQ(wizard->lblProgress->GetWidth(), 569);
}

TEST_F(Wizard, ProgressMovesTheStripAndThePercentage)
{
    EXPECT_EQ(wizard->lblProgress->GetBkImage(), L"") << "no strip before any progress";
    wizard->ShowProgress(0);
    EXPECT_EQ(wizard->lblProgress->GetBkImage(), L"");
    EXPECT_EQ(wizard->txtPercentage->GetText(), L"0%");
    wizard->ShowProgress(37.9);
    EXPECT_EQ(wizard->txtPercentage->GetText(), L"37%");
    wizard->ShowProgress(99);
    EXPECT_EQ(wizard->lblProgress->GetBkImage(), L"res='146' restype='png' source='2,0,565,69' dest='0,0,563,69'");
    wizard->ShowProgress(100);
    EXPECT_EQ(wizard->lblProgress->GetBkImage(), L"res='146' restype='png' source='0,0,565,69' dest='0,0,565,69'");
    EXPECT_EQ(wizard->txtPercentage->GetText(), L"100%");

    // Posted progress of both kinds takes the same way.
    PostMessageW(wizard->GetHWND(), WM_SETUP_DOWNLOAD_PROGRESS, 50, 0);
    PumpWindowMessages();
    EXPECT_EQ(wizard->txtPercentage->GetText(), L"50%");
    PostMessageW(wizard->GetHWND(), WM_SETUP_EXTRACT_PROGRESS, 7, 0);
    PumpWindowMessages();
    EXPECT_EQ(wizard->txtPercentage->GetText(), L"7%");
}

TEST_F(Wizard, TheStripEndsAtItsHeadAndTheTrackShowsBeyond)
{
    // Drawn as the user sees it: beyond the head, the picture is what it is
    // with no progress at all; before it, the strip.
    wizard->layoutStart->SetVisible(false);
    wizard->layoutSetup->SetVisible(true);
    CUIManager& manager = wizard->GetManager();
    auto pixel = [&](double percent, double at) {
        wizard->ShowProgress(percent);
        manager.PaintNow();
        const RECT& bar = wizard->lblProgress->GetPos();
        const int x = bar.left + static_cast<int>(at * (bar.right - bar.left));
        // The strip's middle (the label's padding is 4 at the top).
        const int y = (bar.top + bar.bottom) / 2 + manager.GetScale().Scale(4);
        return manager.GetLayeredBuffer().Row(y)[x];
    };
    // At 100 %, then at 200 % as a monitor of that scale tells the window.
    for (int dpi : {96, 192}) {
        if (dpi != manager.GetDpi()) {
            const DpiScale scale(dpi);
            RECT suggested = {0, 0, scale.Scale(647), scale.Scale(449)};
            SendMessageW(wizard->GetHWND(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
            manager.PaintNow();
        }
        EXPECT_EQ(wizard->lblProgress->GetWidth(), DpiScale(dpi).Scale(569));
        for (double at : {0.1, 0.45, 0.55, 0.9}) {
            const DWORD track = pixel(0, at);
            EXPECT_EQ(pixel(1, at), track) << dpi << " " << at;
            EXPECT_EQ(pixel(50, at) == track, at > 0.5) << dpi << " " << at;
            EXPECT_EQ(pixel(99, at) == track, false) << dpi << " " << at;
            EXPECT_NE(pixel(100, at), track) << dpi << " " << at;
        }
    }
}

TEST_F(Wizard, LaterPagesAndSlidesAreDecodedWhileTheDirectoryPageShows)
{
    // Nothing but the directory page has been painted; the progress page's
    // pictures, the strip and the slides still to come arrive from the
    // preloading thread, so no later frame decodes them on the UI thread.
    CUIManager& manager = wizard->GetManager();
    const DWORD until = GetTickCount() + 10000;
    auto ready = [&] {
        for (const wchar_t* id : {L"147", L"144", L"146", L"159", L"143", L"150", L"174"}) {
            if (manager.FindImage(id) == nullptr) return false;
        }
        return true;
    };
    while (!ready() && GetTickCount() < until) {
        PumpWindowMessages();
        Sleep(20);
    }
    EXPECT_TRUE(ready());
    // The progress page then paints from the table: its picture is the one
    // the thread made.
    ImageData* page = manager.FindImage(L"147");
    wizard->layoutStart->SetVisible(false);
    wizard->layoutSetup->SetVisible(true);
    manager.PaintNow();
    EXPECT_EQ(manager.FindImage(L"147"), page);
}

TEST_F(Wizard, OnlyTextsForTheUserReachTheStatusLineEachOnce)
{
    // A step of the sequence is for the log; a notice is shown once, in the
    // status line (nothing else on the page repeats it).
    PostStatusText(wizard->GetHWND(), L"SaveZipToDir finish");
    PumpWindowMessages();
    EXPECT_EQ(wizard->lblStatus->GetText(), SetupingWnd::kInstallingText);
    PostNotice(wizard->GetHWND(), L"网络连接失败，正在重试（第 1 次）");
    PumpWindowMessages();
    EXPECT_EQ(wizard->lblStatus->GetText(), L"网络连接失败，正在重试（第 1 次）");
    int shown = 0;
    wizard->GetManager().GetRoot()->SearchTree(
        [](CControlUI* control, void* count) -> CControlUI* {
            if (control->GetText() == L"网络连接失败，正在重试（第 1 次）") ++*static_cast<int*>(count);
            return nullptr;
        },
        &shown, 0);
    EXPECT_EQ(shown, 1);
}

TEST_F(Wizard, NextAppendsTheApplicationNameCreatesTheFolderAndStarts)
{
    TempDir dir;
    wizard->txtDir->SetText((dir / L"Apps").c_str());
    wizard->StartSetup();
    EXPECT_EQ(std::wstring(InstallSettings::installDir), dir / L"Apps\\Box\\");
    EXPECT_TRUE(FileExists(dir / L"Apps\\Box"));
    EXPECT_FALSE(wizard->layoutStart->IsVisible());
    EXPECT_TRUE(wizard->layoutSetup->IsVisible());
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, wizard->GetHWND(), WM_SETUP_START, WM_SETUP_START, PM_REMOVE));
    EXPECT_TRUE(g_prompted.empty());
}

TEST_F(Wizard, NextWithTheApplicationsExistingFolderKeepsIt)
{
    TempDir dir;
    std::wstring existing = dir / L"Box\\";
    CreateDirectoryW(existing.c_str(), nullptr);
    wizard->txtDir->SetText(existing.c_str());
    wizard->StartSetup();
    EXPECT_EQ(std::wstring(InstallSettings::installDir), existing);
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, wizard->GetHWND(), WM_SETUP_START, WM_SETUP_START, PM_REMOVE));
}

TEST_F(Wizard, AFileWhereTheFolderWouldBeIsRefused)
{
    TempDir dir;
    HANDLE file = CreateFileW((dir / L"Box").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    wizard->txtDir->SetText(dir.Path().c_str());
    wizard->StartSetup();
    EXPECT_EQ(g_prompted, L"创建文件夹失败：该位置是一个文件，请选择文件夹");
    // Owned by the wizard: modal to it, and opened over it wherever it was dragged.
    EXPECT_EQ(g_promptOwner, wizard->GetHWND());
    EXPECT_EQ(TakePostedClose(wizard->GetHWND()), 2);
    MSG message;
    EXPECT_FALSE(PeekMessageW(&message, wizard->GetHWND(), WM_SETUP_START, WM_SETUP_START, PM_REMOVE));
}

TEST_F(Wizard, LeavingDuringTheDownloadOrExtractionIsAskedFirst)
{
    // A sequence that runs (an event stands in for its thread: already
    // signalled, so the window's end does not wait on it).
    wizard->workerThread = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    g_leave = false;
    EXPECT_TRUE(wizard->HandleDefaultKey(VK_ESCAPE));
    EXPECT_EQ(g_asked, 1);
    EXPECT_EQ(TakePostedClose(wizard->GetHWND()), -1) << "left although the user chose to stay";
    g_leave = true;
    EXPECT_TRUE(wizard->HandleDefaultKey(VK_ESCAPE));
    EXPECT_EQ(g_asked, 2);
    EXPECT_NE(TakePostedClose(wizard->GetHWND()), -1);
    // Once the files are in place the installation finishes anyway: no question.
    auto* step = new CUIString(kStepFilesInPlace);
    SendMessageW(wizard->GetHWND(), WM_SETUP_STATUS_TEXT, reinterpret_cast<WPARAM>(step), 0);
    EXPECT_TRUE(wizard->HandleDefaultKey(VK_ESCAPE));
    EXPECT_EQ(g_asked, 2);
    CloseHandle(wizard->workerThread);
    wizard->workerThread = nullptr;
}

TEST_F(Wizard, ARelativeDirectoryIsRefusedWithTheShellsReason)
{
    wizard->txtDir->SetText(L"word");
    wizard->StartSetup();
    EXPECT_EQ(g_prompted, L"创建文件夹失败：路径不完整，请选择完整的文件夹路径");
    EXPECT_EQ(TakePostedClose(wizard->GetHWND()), 2);
    EXPECT_TRUE(wizard->layoutStart->IsVisible());
    MSG message;
    EXPECT_FALSE(PeekMessageW(&message, wizard->GetHWND(), WM_SETUP_START, WM_SETUP_START, PM_REMOVE));
}

TEST_F(Wizard, FinishShowsTheLastPage)
{
    PostMessageW(wizard->GetHWND(), WM_SETUP_FINISHED, 0, 0);
    PumpWindowMessages();
    EXPECT_FALSE(wizard->layoutSetup->IsVisible());
    EXPECT_TRUE(wizard->layoutFinish->IsVisible());
}

TEST_F(Wizard, ANewPassStartsTheBarAgainAndAStopShowsNoPercentage)
{
    const CUIString start = wizard->lblProgress->GetBkImage();
    wizard->ShowProgress(100);
    PostNotice(wizard->GetHWND(), L"解压失败，正在重新下载（第 2 次）");
    PostMessageW(wizard->GetHWND(), WM_SETUP_DOWNLOAD_PROGRESS, 0, 0);
    PumpWindowMessages();
    EXPECT_EQ(wizard->lblProgress->GetBkImage(), start);
    EXPECT_EQ(wizard->txtPercentage->GetText(), L"0%");
    EXPECT_EQ(wizard->lblStatus->GetText(), L"解压失败，正在重新下载（第 2 次）");

    wizard->ShowProgress(100);
    PostFailure(wizard->GetHWND(), L"安装失败：安装包无法解压，请稍后重新运行安装程序（按 Esc 退出）");
    PumpWindowMessages();
    EXPECT_EQ(wizard->lblStatus->GetText(), L"安装失败：安装包无法解压，请稍后重新运行安装程序（按 Esc 退出）");
    EXPECT_EQ(wizard->lblProgress->GetBkImage(), start);
    EXPECT_EQ(wizard->txtPercentage->GetText(), L"") << "a stopped installation still shows a percentage";
}

namespace {

bool g_shellAsked = false;
bool NoDesktopShell(const wchar_t*, const wchar_t*)
{
    g_shellAsked = true;
    return false;
}

// Waits for the demo program's marker and ends the program it names.
bool StartedAndEnded(const std::wstring& marker)
{
    for (int i = 0; i < 200 && !FileExists(marker); ++i) Sleep(50);
    std::string text = ReadFileBytes(marker);
    size_t at = text.find("pid=");
    if (at == std::string::npos) return false;
    DWORD pid = std::stoul(text.substr(at + 4));
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
        TerminateProcess(process, 0);
        CloseHandle(process);
    }
    return true;
}

}  // namespace

TEST_F(Wizard, FinishStartsTheProgramThroughTheDesktopShellOrElseDirectly)
{
    // The demo package's program, installed as Box.exe: it leaves a marker.
    TempDir dir;
    ASSERT_TRUE(CopyFileW((ExeDir() + L"\\..\\package\\bin\\Corvina.exe").c_str(), (dir / L"Box.exe").c_str(), FALSE));
    InstallSettings::installDir = dir.Slash().c_str();
    InstallSettings::exeName = L"Box.exe";

    // Where there is no desktop shell to ask, the wizard starts it itself.
    SetupingWnd::s_startAsDesktopUser = NoDesktopShell;
    wizard->RunInstalledProgram();
    SetupingWnd::s_startAsDesktopUser = ShellExecuteAsDesktopUser;
    EXPECT_TRUE(g_shellAsked);
    EXPECT_TRUE(StartedAndEnded(dir / L"started.marker")) << "not started directly";
    DeleteFileW((dir / L"started.marker").c_str());

    // The desktop shell, where it answers (Wine's does), starts it as well.
    if (ShellExecuteAsDesktopUser((dir / L"Box.exe").c_str(), dir.Path().c_str())) {
        EXPECT_TRUE(StartedAndEnded(dir / L"started.marker")) << "the desktop shell took it but nothing started";
    }
}

TEST(WizardWithoutName, ClosesItselfWithTwo)
{
    UseInstallerResources();
    InstallSettings::SetDefaults();
    SetupingWnd::s_runNameWindow = NoName;
    SetupingWnd wizard;
    ASSERT_NE(wizard.CreateNativeWindow(nullptr, L"", kInstallerWindowStyle, 0), nullptr);
    EXPECT_EQ(wizard.ShowModalLoop(), 2u);
    SetupingWnd::s_runNameWindow = AcceptBox;
}

TEST(Prompt, BothButtonsCloseWithOne)
{
    UseInstallerResources();
    for (const wchar_t* button : {L"btnOk", L"btnExit"}) {
        PromptWnd prompt;
        prompt.message = L"创建文件夹失败：";
        ASSERT_NE(prompt.CreateNativeWindow(nullptr, kModalTitle, kInstallerWindowStyle, 0), nullptr);
        ASSERT_NE(prompt.text, nullptr);
        EXPECT_EQ(prompt.text->GetText(), L"创建文件夹失败：");
        TUINotify click;
        click.type = L"click";
        click.sender = prompt.GetManager().FindByName(button);
        ASSERT_NE(click.sender, nullptr);
        prompt.HandleNotify(click);
        EXPECT_EQ(prompt.ShowModalLoop(), 1u) << button;
    }
}

namespace {

struct NameWindow : ::testing::Test {
    void SetUp() override
    {
        UseInstallerResources();
        InstallSettings::SetDefaults();
        ASSERT_NE(window.CreateNativeWindow(nullptr, kModalTitle, kInstallerWindowStyle, 0), nullptr);
        window.GetManager().PaintNow();  // laid out, as the user first sees it
        PumpWindowMessages();
        edit = window.GetManager().FindByName(L"TextSetName");
        ASSERT_NE(edit, nullptr);
    }
    void TearDown() override
    {
        if (IsWindow(window.GetHWND())) DestroyWindow(window.GetHWND());
        PumpWindowMessages();
    }
    void Notify(const wchar_t* type, const wchar_t* sender)
    {
        TUINotify notify;
        notify.type = type;
        notify.sender = window.GetManager().FindByName(sender);
        window.HandleNotify(notify);
    }
    DWORD Color() { return static_cast<CLabelUI*>(edit->InterfaceByName(L"Label"))->GetTextColor(); }

    SetNameWnd window;
    CControlUI* edit = nullptr;
};

}  // namespace

TEST_F(NameWindow, HintAndWarningCountAsNoName)
{
    EXPECT_EQ(edit->GetText(), SetNameWnd::kHint);
    Notify(L"click", L"btnSetName");
    EXPECT_EQ(edit->GetText(), SetNameWnd::kNoNameWarning);
    EXPECT_EQ(Color(), SetNameWnd::kWarningColor);
    Notify(L"click", L"btnSetName");  // the warning itself is no name either
    EXPECT_EQ(edit->GetText(), SetNameWnd::kNoNameWarning);
    EXPECT_TRUE(InstallSettings::boxName.IsEmpty());
    EXPECT_EQ(TakePostedClose(window.GetHWND()), -1);
}

TEST_F(NameWindow, AClickClearsTheHintAndLeavingEmptyRestoresIt)
{
    Notify(L"click", L"btnSetName");
    // A real click into the field, through the window's filter.
    PostMessageW(window.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 310));
    PostMessageW(window.GetHWND(), WM_LBUTTONUP, 0, MAKELPARAM(400, 310));
    PumpWindowMessages();
    EXPECT_EQ(edit->GetText(), L"");
    EXPECT_EQ(Color(), SetNameWnd::kNormalColor);
    Notify(L"killfocus", L"TextSetName");
    EXPECT_EQ(edit->GetText(), SetNameWnd::kHint);
    EXPECT_EQ(Color(), SetNameWnd::kNormalColor);
    edit->SetText(L"My Box");
    Notify(L"setfocus", L"TextSetName");
    Notify(L"killfocus", L"TextSetName");
    EXPECT_EQ(edit->GetText(), L"My Box");
}

TEST_F(NameWindow, AnAcceptedNameSetsEverySettingAndCloses)
{
    edit->SetText(L"  Box  ");
    Notify(L"click", L"btnSetName");
    EXPECT_EQ(InstallSettings::installDir, L"C:\\Program Files\\Box\\");
    EXPECT_EQ(InstallSettings::exeName, L"Box.exe");
    EXPECT_EQ(InstallSettings::appName, L"Box");
    EXPECT_EQ(InstallSettings::boxName, L"Box");
    EXPECT_EQ(InstallSettings::version, L"1.0.0.0");
    EXPECT_TRUE(InstallSettings::publisher.IsEmpty());
    EXPECT_EQ(edit->GetText(), L"  Box  ");  // the box itself is left alone
    EXPECT_EQ(TakePostedClose(window.GetHWND()), 1);
}

TEST_F(NameWindow, AnInvalidNameIsRefusedInTheFieldAndComesBackForMending)
{
    for (const wchar_t* text : {L"2019", L"   ", L"Box!", L"abcdefghijk", L"ab_c!"}) {
        edit->SetText(text);
        Notify(L"click", L"btnSetName");
        // In the field, in red, like the missing name; no window of its own.
        EXPECT_EQ(edit->GetText(), SetNameWnd::kInvalidName) << text;
        EXPECT_EQ(Color(), SetNameWnd::kWarningColor);
        // Pressed again: the same warning, still once.
        Notify(L"click", L"btnSetName");
        EXPECT_EQ(edit->GetText(), SetNameWnd::kInvalidName);
        // A click into the field gives the refused name back to mend.
        PostMessageW(window.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 310));
        PostMessageW(window.GetHWND(), WM_LBUTTONUP, 0, MAKELPARAM(400, 310));
        PumpWindowMessages();
        EXPECT_EQ(edit->GetText(), text);
        EXPECT_EQ(Color(), SetNameWnd::kNormalColor);
    }
    EXPECT_EQ(GetWindow(window.GetHWND(), GW_ENABLEDPOPUP), nullptr);
    EXPECT_TRUE(InstallSettings::boxName.IsEmpty());
    EXPECT_EQ(TakePostedClose(window.GetHWND()), -1);
}

#include "windows/SetupingWnd.h"

#include <cwchar>
#include <memory>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "app/InstallSettings.h"
#include "install/InstallSequence.h"
#include "install/ProxyLoginDialog.h"
#include "install/SetupMessages.h"
#include "services/MyLog.h"
#include "ui/controls/LabelUI.h"
#include "ui/core/AccessibleObject.h"
#include "ui/core/ResourceSettings.h"
#include "windows/DesktopShell.h"
#include "windows/InstallDirectory.h"
#include "windows/InstalledProgram.h"
#include "install/NameFile.h"
#include "windows/PromptWnd.h"
#include "windows/ScaleReport.h"
#include "windows/SetNameWnd.h"
#include "windows/WindowStyle.h"

using namespace SkinUI;

namespace {

void RunNameWindow(const wchar_t*)
{
    SetNameWnd window;
    if (window.CreateNativeWindow(nullptr, kModalTitle, kInstallerWindowStyle, 0) == nullptr) return;
    window.CenterNativeWindow();
    window.ShowModalLoop();
}

void ShowPromptStep(HWND owner, const wchar_t* message) { ShowPrompt(message, owner); }

// OK leaves; Cancel, Escape and Enter (the default) stay.
bool AskToLeave(HWND owner, const wchar_t* question)
{
    return MessageBoxW(owner, question, kModalTitle, MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) == IDOK;
}

// The strip's picture is 569 columns wide; the bar is cut off at column 565.
constexpr int kStripRightEdge = 565;

}  // namespace

SetupingWnd::ModalStep SetupingWnd::s_runNameWindow = RunNameWindow;
SetupingWnd::PromptStep SetupingWnd::s_showPrompt = ShowPromptStep;
SetupingWnd::ShellStart SetupingWnd::s_startAsDesktopUser = ShellExecuteAsDesktopUser;
SetupingWnd::ConfirmStep SetupingWnd::s_confirmLeave = AskToLeave;

SetupingWnd::SetupingWnd() = default;

SetupingWnd::~SetupingWnd()
{
    if (workerThread != nullptr) {
        RequestCancel();
        WaitForSequenceEnd(kSequenceEndWaitMs);
        CloseHandle(workerThread);
        workerThread = nullptr;
    }
}

void SetupingWnd::StopSequence()
{
    // Never a wait here: past the extraction the sequence finishes whatever
    // the window does (the report may take its whole bound), and a window
    // that waited for it would stand frozen. The wait comes once the window
    // is gone.
    RequestCancel();
}

bool SetupingWnd::WaitForSequenceEnd(DWORD timeoutMs)
{
    if (workerThread == nullptr) return true;
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) break;
        // Messages for this thread's other windows (COM's, the shell's) are
        // still answered while it waits.
        const DWORD woken = MsgWaitForMultipleObjects(1, &workerThread, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) return true;
        if (woken != WAIT_OBJECT_0 + 1) break;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_SETUP_STATUS_TEXT) {
                delete reinterpret_cast<CUIString*>(message.wParam);
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    const bool ended = WaitForSingleObject(workerThread, 0) == WAIT_OBJECT_0;
    if (!ended) MyLog::GetLogger()->error("the install sequence did not end within {} ms of the window", timeoutMs);
    return ended;
}

void SetupingWnd::OnInitialized()
{
    CUIManager& manager = GetManager();
    LogWindowScale("wizard", manager);
    lblProgress = manager.FindByName(L"lblProgress");
    if (lblProgress != nullptr) progressStart = lblProgress->GetBkImage();
    txtPercentage = manager.FindByName(L"txtPercentage");
    CControlUI* host = manager.FindByName(L"topBgLayout");
    topBgLayout = host ? static_cast<CContainerUI*>(host->InterfaceByName(L"Container")) : nullptr;
    if (topBgLayout != nullptr) SetupBackground(topBgLayout);

    layoutStart = manager.FindByName(L"layoutStart");
    layoutSetup = manager.FindByName(L"layoutSetup");
    layoutFinish = manager.FindByName(L"layoutFinish");
    btnRun = manager.FindByName(L"btnRun");
    lblStatus = manager.FindByName(L"lblStatus");

    s_runNameWindow(nullptr);
    if (InstallSettings::boxName.IsEmpty()) CloseWithResult(2);

    txtDir = manager.FindByName(L"txtDir");
    if (txtDir != nullptr) txtDir->SetText(InstallSettings::installDir);
    // The page's main button has the keyboard, as on every later page: Enter
    // installs, and a screen reader starts there.
    manager.SetFocusNeeded(manager.FindByName(L"btnNext"));
    // While the user reads this page, the slides still to come and the later
    // pages' pictures are decoded off the UI thread: at 200 % each would
    // otherwise stall a frame of the carousel or the switch to the page.
    manager.PreloadImages(background);
    manager.PreloadImages(layoutSetup);
    manager.PreloadImages(layoutFinish);
    manager.PreloadImages(std::vector<CUIString>{ProgressImage(1)});
}

void SetupingWnd::SetupBackground(CContainerUI* host)
{
    static const wchar_t* const pictures[] = {
        L"res='148' restype='png' xtiled='false' ytiled='false'",
        L"res='143' restype='png' xtiled='false' ytiled='false'",
        L"res='150' restype='png' xtiled='false' ytiled='false'",
        L"res='174' restype='png' xtiled='false' ytiled='false'",
    };
    // What each slide says, for a screen reader: its headline.
    static const wchar_t* const names[] = {
        L"欢迎安装：你的专属盒子",
        L"整洁桌面",
        L"快速启动：一键直达，快人一步",
        L"安全纯净",
    };
    CLabelUI* labels[4];
    for (int i = 0; i < 4; ++i) {
        labels[i] = new CLabelUI();
        labels[i]->SetBkImage(pictures[i]);
        labels[i]->SetCustomAttr(L"accname", names[i]);
    }
    background = new MovingContainer(GetHWND());
    host->Add(background);  // the tree owns it from here on
    for (CLabelUI* label : labels) background->AddItem(label);
    // The slides begin to switch once the wizard shows (after the name
    // window): it opens on the first one.
    background->Start(false);
}

void SetupingWnd::HandleNotify(TUINotify& notify)
{
    const CUIString name = notify.sender != nullptr ? notify.sender->GetName() : CUIString();
    if (notify.type != L"click") return;

    if (name == L"btnExit" || name == L"btnFinish") {
        if (name == L"btnExit" && !MayLeave()) return;
        StopSequence();
        if (name == L"btnFinish" && runAfterFinish) RunInstalledProgram();
        PostQuitMessage(0);
    } else if (name == L"btnBrowse") {
        BrowseForDirectory();
    } else if (name == L"btnNext") {
        StartSetup();
    } else if (name == L"btnRun" && btnRun != nullptr) {
        runAfterFinish = !runAfterFinish;
        btnRun->SetBkImage(runAfterFinish ? L"res='172' restype='png'" : L"res='173' restype='png'");
        // A check box to a screen reader, and its state changed.
        btnRun->SetCustomAttr(L"accrole", L"checkbox");
        btnRun->SetCustomAttr(L"accchecked", runAfterFinish ? L"true" : L"false");
        GetManager().Accessible().Notify(EVENT_OBJECT_STATECHANGE, btnRun);
    }
}

namespace {

// The picker opens at the folder in the field, not at the desktop.
int CALLBACK OnPickerEvent(HWND picker, UINT event, LPARAM, LPARAM start)
{
    if (event == BFFM_INITIALIZED && start != 0) {
        ::SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, start);
    }
    return 0;
}

}  // namespace

void SetupingWnd::BrowseForDirectory()
{
    wchar_t path[MAX_PATH] = {};
    const std::wstring start = NearestExistingFolder(txtDir != nullptr ? txtDir->GetText().GetData() : L"");
    BROWSEINFOW info = {};
    info.hwndOwner = GetHWND();
    info.pszDisplayName = path;
    info.lpszTitle = L"选择一个文件夹";
    info.ulFlags = BIF_NEWDIALOGSTYLE;
    info.lpfn = OnPickerEvent;
    info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (chosen == nullptr) return;
    BOOL ok = SHGetPathFromIDListW(chosen, path);
    CoTaskMemFree(chosen);
    if (!ok) return;
    std::wstring dir = ComposeInstallDir(path, InstallSettings::appName.GetData());
    if (dir.empty()) return;  // too long to be a folder the shell can make
    InstallSettings::installDir = dir.c_str();
    if (txtDir != nullptr) txtDir->SetText(InstallSettings::installDir);
}

std::wstring SetupingWnd::DescribeCreateDirError(int code) { return ::DescribeCreateDirError(code); }

void SetupingWnd::StartSetup()
{
    if (txtDir != nullptr) InstallSettings::installDir = txtDir->GetText();
    std::wstring dir;
    const int error = MakeInstallDir(InstallSettings::installDir.GetData(), InstallSettings::appName.GetData(), &dir);
    if (!dir.empty()) InstallSettings::installDir = dir.c_str();
    if (error != 0) {
        CUIString message = L"创建文件夹失败：";
        message += DescribeCreateDirError(error).c_str();
        s_showPrompt(GetHWND(), message);
        CloseWithResult(2);
        return;
    }
    ShowPage(layoutStart, layoutSetup);
    PostMessageW(GetHWND(), WM_SETUP_START, 0, 0);
}

void SetupingWnd::StartSequence()
{
    if (workerThread != nullptr) return;  // one sequence per window
    MyLog::Init(InstallSettings::installDir);
    LogEarlierWindowScales();
    workerThread = StartInstallThread(GetHWND(), ShippedSequenceOptions());
}

bool SetupingWnd::LeavingStopsInstallation() const
{
    return workerThread != nullptr && !filesInPlace && !sequenceStopped;
}

bool SetupingWnd::MayLeave()
{
    return !LeavingStopsInstallation() || s_confirmLeave(GetHWND(), kLeaveQuestion);
}

bool SetupingWnd::HandleDefaultKey(WPARAM key)
{
    if (key == VK_ESCAPE && !MayLeave()) return true;
    if (key != VK_RETURN) return WindowImplBase::HandleDefaultKey(key);
    // The pages stand one below the other and the window shows one of them:
    // the main button in view is the page's.
    for (const wchar_t* name : {L"btnNext", L"btnFinish"}) {
        CControlUI* button = GetManager().FindByName(name);
        if (button != nullptr && button->IsEnabled() && GetManager().IsInView(button)) {
            button->Trigger();
            break;
        }
    }
    return true;  // a button out of view (or one with the focus) never takes Enter
}

LRESULT SetupingWnd::HandleOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    handled = true;
    switch (message) {
    case WM_SETUP_START:
        StartSequence();
        return 0;
    case WM_SHOWWINDOW:
        if (wParam != FALSE && background != nullptr && !carouselSwitching) {
            carouselSwitching = true;
            background->StartSwitching();
        }
        handled = false;
        return 0;
    case WM_SETUP_EXTRACT_PROGRESS:
    case WM_SETUP_DOWNLOAD_PROGRESS:
        ShowProgress(static_cast<double>(static_cast<UINT>(wParam)));
        return 0;
    case WM_SETUP_STATUS_TEXT: {
        std::unique_ptr<CUIString> text(reinterpret_cast<CUIString*>(wParam));
        if (text == nullptr) return 0;
        if (lParam == kStatusForUser || lParam == kStatusFailure) {
            ShowStatus(*text);
        } else {
            // A step of the sequence: for the log, never for the page.
            MyLog::GetLogger()->debug("step: {}", Text936(text->GetData()));
            if (*text == kStepFilesInPlace) filesInPlace = true;
        }
        if (lParam == kStatusFailure) {
            sequenceStopped = true;
            ShowStopped();
            // The installation has stopped: a screen reader says so at once.
            if (lblStatus != nullptr) GetManager().Accessible().Notify(EVENT_SYSTEM_ALERT, lblStatus);
        }
        return 0;
    }
    case WM_SETUP_FINISHED:
        FinishSetup();
        return 0;
    case WM_SETUP_PROXY_LOGIN:
        // The install thread waits for this: the system's dialog, owned by
        // the wizard, on the wizard's thread.
        if (lParam != 0) AskProxyLoginWithDialog(GetHWND(), *reinterpret_cast<ProxyLoginRequest*>(lParam));
        return 0;
    case WM_TIMER:
        if (background != nullptr && wParam == MovingContainer::kMoveTimerId) {
            background->OnMoveTimer();
            return 0;
        }
        if (background != nullptr && wParam == MovingContainer::kSwitchTimerId) {
            background->OnSwitchTimer();
            return 0;
        }
        break;
    default:
        break;
    }
    handled = false;
    return WindowImplBase::HandleOtherMessage(message, wParam, lParam, handled);
}

LRESULT SetupingWnd::OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    // A sequence still running ends at its next cancel point, or finishes
    // (the name file included) without the window; its posts to the gone
    // window fail and are freed by the sender. What is queued is freed here.
    if (workerThread != nullptr) StopSequence();
    DiscardQueuedStatusTexts();
    return WindowImplBase::OnDestroy(message, wParam, lParam, handled);
}

void SetupingWnd::DiscardQueuedStatusTexts()
{
    MSG message;
    while (PeekMessageW(&message, GetHWND(), WM_SETUP_STATUS_TEXT, WM_SETUP_STATUS_TEXT, PM_REMOVE)) {
        delete reinterpret_cast<CUIString*>(message.wParam);
    }
}

CUIString SetupingWnd::ProgressImage(int width)
{
    int left = kStripRightEdge - width;
    if (left < 0) left = 0;  // 100 percent of a 569-pixel strip would start at -4
    // Drawn once, at its own size, from the label's left edge: tiled across
    // the label, the strip began again after its head and the bar looked
    // further along than it was. Beyond the head the dark track shows.
    CUIString image;
    image.Format(L"res='146' restype='png' source='%d,0,565,69' dest='0,0,%d,69'", left, kStripRightEdge - left);
    return image;
}

void SetupingWnd::ShowStatus(const wchar_t* text)
{
    if (lblStatus == nullptr || lblStatus->GetText() == text) return;
    lblStatus->SetText(text);
    GetManager().Accessible().Notify(EVENT_OBJECT_NAMECHANGE, lblStatus);
}

void SetupingWnd::ShowProgress(double percent)
{
    // Progress again: whatever went wrong is behind us.
    if (percent > 0) ShowStatus(kInstallingText);
    if (lblProgress == nullptr) return;
    // In the skin's logical pixels, as the picture string is: the drawing
    // scales both to the window's DPI.
    int width = static_cast<int>(percent / 100.0 * lblProgress->GetFixedWidth());
    // 0 is a pass starting again: the strip goes back to its start.
    lblProgress->SetBkImage(width > 0 ? ProgressImage(width) : progressStart);
    lblProgress->Invalidate();
    CUIString text;
    text.Format(L"%d%%", static_cast<int>(percent));
    if (txtPercentage != nullptr) {
        txtPercentage->SetText(text);
        txtPercentage->Invalidate();
    }
    AnnounceProgress(text, percent >= 100);
}

void SetupingWnd::AnnounceProgress(const wchar_t* value, bool now)
{
    if (lblProgress == nullptr) return;
    const wchar_t* old = lblProgress->GetCustomAttr(L"accvalue");
    if (old != nullptr && std::wcscmp(old, value) == 0) return;
    lblProgress->SetCustomAttr(L"accvalue", value);
    // A few a second at most: a screen reader that read every percent would
    // say nothing else.
    const DWORD tick = GetTickCount();
    if (!now && tick - lastProgressAnnounced < kProgressAnnounceMs) return;
    lastProgressAnnounced = tick;
    GetManager().Accessible().Notify(EVENT_OBJECT_VALUECHANGE, lblProgress);
}

void SetupingWnd::ShowStopped()
{
    // The installation has stopped: no percentage may suggest it goes on.
    if (lblProgress != nullptr) {
        lblProgress->SetBkImage(progressStart);
        lblProgress->Invalidate();
    }
    if (txtPercentage != nullptr) {
        txtPercentage->SetText(L"");
        txtPercentage->Invalidate();
    }
    AnnounceProgress(L"", true);
}

void SetupingWnd::FinishSetup()
{
    ShowPage(layoutSetup, layoutFinish);
    // 安装完成 takes the focus once the page has moved into view.
    GetManager().SetFocusNeeded(GetManager().FindByName(L"btnFinish"));
}

void SetupingWnd::ShowPage(CControlUI* from, CControlUI* to)
{
    if (from != nullptr) from->SetVisible(false);
    if (to != nullptr) to->SetVisible(true);
    // The page a screen reader reads changed with it.
    GetManager().Accessible().NotifyShown(from, false);
    GetManager().Accessible().NotifyShown(to, true);
}

void SetupingWnd::RunInstalledProgram() { StartInstalledProgram(s_startAsDesktopUser, true); }

void RunSetupWizard(HINSTANCE instance)
{
    CResourceSettings::SetInstance(instance);
    CResourceSettings::SetResourceModule(instance);
    auto* wizard = new SetupingWnd();
    if (wizard->CreateNativeWindow(nullptr, L"", kInstallerWindowStyle, 0) != nullptr) {
        wizard->SetWindowIcon(107);
        wizard->CenterNativeWindow();
        wizard->ShowModalLoop();
    }
    // Finish and Exit end the loop with WM_QUIT while the window still
    // stands; it must be gone before the object that handles its messages.
    if (IsWindow(wizard->GetHWND())) DestroyWindow(wizard->GetHWND());
    delete wizard;
}

#pragma once
// The setup wizard (skin 139): names the box (through the name window),
// takes the directory, runs the install sequence on its own thread, draws
// the progress the sequence posts, and on Finish starts the installed
// program. It never draws by itself: every change goes through the skin's
// controls.

#include <string>

#include "ui/controls/MovingContainer.h"
#include "ui/core/WindowImplBase.h"

class SetupingWnd : public SkinUI::WindowImplBase {
public:
    SetupingWnd();
    // Asks a sequence still running to stop and waits, within a bound, for
    // it to end (the window may have closed through Escape or Alt+F4): the
    // sequence reads settings, the log and cancelMutex, which must outlive it.
    // By then the window is gone, so the wait freezes nothing on screen.
    ~SetupingWnd() override;

    // The longest a sequence can still run once asked to stop: past the
    // extraction it finishes, and the report alone may take 20 s.
    static constexpr DWORD kSequenceEndWaitMs = 60000;
    // Waits for the sequence's thread, answering this thread's messages; true
    // when it has ended (or none ran).
    bool WaitForSequenceEnd(DWORD timeoutMs);

    void OnInitialized() override;
    void HandleNotify(SkinUI::TUINotify& notify) override;
    // Enter does the main action of the page in view (确认, then 安装完成;
    // nothing while installing); Escape closes as in every skinned window.
    bool HandleDefaultKey(WPARAM key) override;
    // The setup messages and the carousel's timers, in the window procedure:
    // they come through whichever loop runs (ours, the system's move loop
    // during a drag, a menu, a message box, the folder picker).
    LRESULT HandleOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    LRESULT OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

    void SetupBackground(SkinUI::CContainerUI* host);
    void BrowseForDirectory();
    void StartSetup();
    static std::wstring DescribeCreateDirError(int code);
    // The bar and the percentage; 0 puts the strip back to its start.
    void ShowProgress(double percent);
    // The status line, for the user (and a screen reader: a name change).
    void ShowStatus(const wchar_t* text);
    // The installation stopped for good: the strip back to its start, no
    // percentage.
    void ShowStopped();
    void FinishSetup();
    void RunInstalledProgram();

    // The progress strip's picture, cut to its last `width` columns before
    // column 565 and never starting left of the picture.
    static SkinUI::CUIString ProgressImage(int width);

    SkinUI::CControlUI* txtDir = nullptr;
    SkinUI::CControlUI* lblProgress = nullptr;
    SkinUI::CUIString progressStart;  // the strip as the skin starts it
    SkinUI::CControlUI* txtPercentage = nullptr;
    SkinUI::CContainerUI* topBgLayout = nullptr;
    SkinUI::CControlUI* layoutStart = nullptr;
    SkinUI::CControlUI* layoutSetup = nullptr;
    SkinUI::CControlUI* layoutFinish = nullptr;
    HANDLE workerThread = nullptr;
    bool filesInPlace = false;      // the sequence said kStepFilesInPlace
    bool carouselSwitching = false;
    bool sequenceStopped = false;   // it failed for good
    SkinUI::MovingContainer* background = nullptr;  // owned by the control tree
    bool runAfterFinish = true;
    SkinUI::CControlUI* btnRun = nullptr;
    // What the user should know while installing: kInstallingText, or a
    // retry or a failure that the sequence tells of.
    SkinUI::CControlUI* lblStatus = nullptr;
    static constexpr const wchar_t* kInstallingText = L"正在安装，请稍候…";

    // Test seams: the name window's run and the prompt's, so the wizard can be
    // driven without modal windows of its own.
    using ModalStep = void (*)(const wchar_t* message);
    static ModalStep s_runNameWindow;
    using PromptStep = void (*)(HWND owner, const wchar_t* message);
    static PromptStep s_showPrompt;
    // And the way through the desktop's shell (ShellExecuteAsDesktopUser), so
    // that the direct start can be tried where the shell would take it.
    using ShellStart = bool (*)(const wchar_t* file, const wchar_t* directory);
    static ShellStart s_startAsDesktopUser;
    // And the question before leaving mid-way: true to leave.
    using ConfirmStep = bool (*)(HWND owner, const wchar_t* question);
    static ConfirmStep s_confirmLeave;
    static constexpr const wchar_t* kLeaveQuestion =
        L"是否退出安装？\n\n已下载的部分会保留，下次运行安装程序时会接着下载；电脑上已有的版本不受影响。";
    // Whether leaving now would stop a download or an extraction.
    bool LeavingStopsInstallation() const;
    // True unless leaving would stop one and the user chose to stay.
    bool MayLeave();

protected:
    const wchar_t* GetWindowClassName() const override { return L"SetupingWnd"; }
    SkinUI::CUIString SkinFolder() override { return L""; }
    SkinUI::CUIString SkinSource() override { return L"139"; }
    int SkinResourceKind() override { return SkinUI::kSkinXmlResource; }

private:
    // Hides one page, shows the next, and tells screen readers.
    void ShowPage(SkinUI::CControlUI* from, SkinUI::CControlUI* to);
    // The progress bar's value for screen readers; announced at most every
    // kProgressAnnounceMs, and at once when `now`.
    void AnnounceProgress(const wchar_t* value, bool now);
    static constexpr DWORD kProgressAnnounceMs = 400;
    DWORD lastProgressAnnounced = 0;
    void StopSequence();
    void StartSequence();
    // The status texts still queued for this window when it goes: theirs to
    // free, as the receiver.
    void DiscardQueuedStatusTexts();
};

// Runs the whole wizard modally from the process entry.
void RunSetupWizard(HINSTANCE instance);

#include "windows/UnattendedInstall.h"

#include <windows.h>

#include <memory>

#include "app/InstallSettings.h"
#include "install/InstallSequence.h"
#include "install/SetupMessages.h"
#include "services/MyLog.h"
#include "ui/core/UIString.h"
#include "windows/DesktopShell.h"
#include "windows/InstallDirectory.h"
#include "windows/InstalledProgram.h"
#include "install/NameFile.h"

namespace {

// The line for whoever started us: a deployment tool that captures the
// output, or a console with its output redirected. A GUI program started
// from a bare console has no such handle, and then there is nobody to tell.
void TellCaller(const std::wstring& line)
{
    HANDLE output = GetStdHandle(STD_ERROR_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
    const std::wstring text = line + L"\r\n";
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                     nullptr);
    if (length <= 0) return;
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], length, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(output, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

// A failure before the installation folder stands.
void ReportWithoutFolder(const std::wstring& line)
{
    const std::wstring path = EarlyLogPath();
    if (!path.empty() && MyLog::InitFile(path.c_str())) {
        MyLog::GetLogger()->error("{}", Text936(line.c_str()));
        MyLog::Shutdown();
    }
    TellCaller(line);
}

// Where the install sequence posts its progress and status texts. Message-only
// (HWND_MESSAGE): never shown, never on the taskbar, not even a hidden
// top-level window that a broadcast would find.
class SequenceListener {
public:
    SequenceListener()
    {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassExW(&windowClass);  // fails harmlessly when already registered
        m_window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
        if (m_window != nullptr) SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~SequenceListener()
    {
        if (m_window != nullptr) DestroyWindow(m_window);
    }
    SequenceListener(const SequenceListener&) = delete;
    SequenceListener& operator=(const SequenceListener&) = delete;

    HWND Handle() const { return m_window; }
    // WM_SETUP_FINISHED came: the sequence ran to its end.
    bool Finished() const { return m_finished; }

    // Handles what the sequence posts until its thread has ended, then what
    // it left queued (WM_SETUP_FINISHED is posted just before the end).
    void RunUntilEnded(HANDLE thread)
    {
        while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
            DispatchQueued();
        }
        DispatchQueued();
    }

private:
    static constexpr const wchar_t* kClassName = L"BoxUnattendedInstall";

    static void DispatchQueued()
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<SequenceListener*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        switch (message) {
        case WM_SETUP_STATUS_TEXT:
            // Ours to free as the receiver. The sequence logs what matters;
            // the texts were for the progress page's eyes.
            delete reinterpret_cast<SkinUI::CUIString*>(wParam);
            return 0;
        case WM_SETUP_FINISHED:
            if (self != nullptr) self->m_finished = true;
            return 0;
        case WM_SETUP_DOWNLOAD_PROGRESS:
        case WM_SETUP_EXTRACT_PROGRESS:
            return 0;
        case WM_SETUP_PROXY_LOGIN:
            // Nobody is there to type a proxy login: the request stays
            // without one, and the proxy's refusal stands.
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }

    HWND m_window = nullptr;
    bool m_finished = false;
};

}  // namespace

std::wstring EarlyLogPath()
{
    wchar_t folder[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return std::wstring();
    return std::wstring(folder) + L"InstallUnattended.txt";
}

void ReportRefusedCommandLine(const std::wstring& reason)
{
    ReportWithoutFolder(L"command line refused, nothing installed (exit code 1): " + reason);
}

int RunUnattendedInstall(const CommandLineRequest& request)
{
    // Nor the system's own boxes: a drive without its disk fails the call
    // instead of asking for the disk.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

    // The name window's step.
    InstallSettings::ApplyBoxName(request.boxName);

    // The directory page's: /D's folder as if picked there, else the folder
    // the page proposes; then 确认.
    const std::wstring picked = request.folder.empty() ? std::wstring(InstallSettings::installDir) : request.folder;
    std::wstring dir;
    const int error = MakeInstallDir(picked, request.boxName, &dir);
    if (error != 0) {
        // The prompt's words, as the wizard would have shown them.
        ReportWithoutFolder(L"unattended installation of " + request.boxName + L" stopped, nothing installed (exit code 3): " +
                            L"创建文件夹失败：" + DescribeCreateDirError(error) + L" (" + (dir.empty() ? picked : dir) +
                            L", error " + std::to_wstring(error) + L")");
        return kExitFolderNotMade;
    }
    InstallSettings::installDir = dir.c_str();

    // The progress page's.
    MyLog::Init(InstallSettings::installDir);
    auto logger = MyLog::GetLogger();
    logger->info("unattended installation (/S) of {} into {}{}", Text936(request.boxName.c_str()), Text936(dir.c_str()),
                 request.runAfterInstall ? ", then starting it (/RUN)" : "");
    InstallSequenceOptions options = ShippedSequenceOptions();
    options.download.maxFruitlessAttempts = kUnattendedFruitlessAttempts;
    options.download.maxRefusedAttempts = kUnattendedRefusedAttempts;
    SequenceListener listener;
    HANDLE thread = listener.Handle() != nullptr ? StartInstallThread(listener.Handle(), options) : nullptr;
    if (thread == nullptr) {
        logger->error("unattended installation failed (exit code 2): the install thread could not start ({})",
                      GetLastError());
        TellCaller(L"unattended installation failed (exit code 2): see " + dir + L"logs\\InstallRotating.txt");
        return kExitPackageFailed;
    }
    listener.RunUntilEnded(thread);
    CloseHandle(thread);
    if (!listener.Finished()) {
        // As the wizard leaves it: no shortcut, key, report or name file
        // comes before the sequence's end.
        logger->error("unattended installation failed (exit code 2)");
        TellCaller(L"unattended installation failed (exit code 2): see " + dir + L"logs\\InstallRotating.txt");
        return kExitPackageFailed;
    }

    // 安装完成's (the sequence wrote the name file as its last step).
    if (request.runAfterInstall) StartInstalledProgram(ShellExecuteAsDesktopUser, false);
    logger->info("unattended installation finished (exit code 0)");
    return kExitInstalled;
}

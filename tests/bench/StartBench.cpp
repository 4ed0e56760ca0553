// Benchmark helper (run by tools/bench-start.sh, not by CTest):
//
//   start_bench name <Install.exe>    time from process creation to the
//                                     name window's first paint
//   start_bench floor                 the same for a bare Win32 window of the
//                                     name window's size
//   start_bench carousel <Install.exe> <url> <dir>
//                                     one carousel slide of the wizard while
//                                     a download from <url> runs, reporting
//                                     progress to the wizard
//   start_bench idle <milliseconds>   a bare window's loop with a 10 ms
//                                     timer that does nothing: its longest
//                                     busy stretch, the floor beside smooth
//   start_bench smooth <Install.exe> <url> <dir> <package.zip>
//                                     the wizard's progress page through a
//                                     whole download from <url>, then the
//                                     whole extraction of <package.zip>, the
//                                     carousel sliding back to back: per
//                                     phase the longest the UI thread was
//                                     busy at a stretch, and the slides' ticks;
//                                     first the progress page's first 500 ms
//
// Prints one line of figures (milliseconds) on stdout, one a phase for
// smooth; with BOX_BENCH_STRETCH set, smooth also prints what each phase's
// worst stretch was made of: message/wParam:milliseconds (of which on a CPU,
// and waiting for one)+start in the stretch.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/InstallSettings.h"
#include "install/NetworkWarmUp.h"
#include "install/PackageDownload.h"
#include "install/SetupMessages.h"
#include "install/UnzipWithProgress.h"
#include "ui/core/ResourceSettings.h"
#include "windows/SetNameWnd.h"
#include "windows/SetupingWnd.h"
#include "windows/WindowStyle.h"

using namespace SkinUI;

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart * 1000.0 / frequency.QuadPart;
}

// The kernel's own account of the calling thread, in milliseconds (the
// first two figures of /proc/thread-self/schedstat): the time it ran, and the
// time it waited for a CPU while it could have run. A stretch less the wait
// is the time the thread was busy: working, or waiting for the answers it
// asked for, or stopped by the host (steal, which the guest counts only per
// CPU, never per thread). Read with the kernel's own calls: a file opened
// through Wine is opened by Wine's server, and "thread-self" would then be
// the server's. Only under Wine on Linux, where 32-bit code may make them;
// elsewhere unavailable (negative).
class SchedClock {
public:
    struct Times {
        double ran = 0;
        double waited = 0;
        Times operator-(const Times& earlier) const { return {ran - earlier.ran, waited - earlier.waited}; }
    };

    SchedClock()
    {
#if defined(__i386__) && defined(__GNUC__)
        using HostVersion = void(CDECL*)(const char**, const char**);
        auto hostVersion = reinterpret_cast<HostVersion>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_host_version")));
        const char* system = nullptr;
        const char* release = nullptr;
        if (hostVersion != nullptr) hostVersion(&system, &release);
        if (system == nullptr || strcmp(system, "Linux") != 0) return;
        static const char path[] = "/proc/thread-self/schedstat";
        m_fd = Call(kOpen, reinterpret_cast<long>(path), 0, 0);
        if (m_fd >= 0 && Read().ran < 0) {
            Call(kClose, m_fd, 0, 0);
            m_fd = -1;
        }
#endif
    }
    ~SchedClock()
    {
        if (m_fd >= 0) Call(kClose, m_fd, 0, 0);
    }
    SchedClock(const SchedClock&) = delete;
    SchedClock& operator=(const SchedClock&) = delete;

    bool Available() const { return m_fd >= 0; }
    Times Read() const
    {
        if (m_fd < 0) return {-1, -1};
        char text[96] = {};
        if (Call(kSeek, m_fd, 0, 0) != 0 || Call(kRead, m_fd, static_cast<long>(reinterpret_cast<intptr_t>(text)), sizeof text - 1) <= 0) {
            return {-1, -1};
        }
        unsigned long long ran = 0, waited = 0;
        if (sscanf(text, "%llu %llu", &ran, &waited) != 2) return {-1, -1};
        return {static_cast<double>(ran) / 1e6, static_cast<double>(waited) / 1e6};
    }

private:
    // The i386 numbers of open, read, lseek and close.
    enum : long { kRead = 3, kOpen = 5, kClose = 6, kSeek = 19 };
    static long Call(long number, long a, long b, long c)
    {
#if defined(__i386__) && defined(__GNUC__)
        long result;
        asm volatile("int $0x80" : "=a"(result) : "a"(number), "b"(a), "c"(b), "d"(c) : "memory");
        return result;
#else
        (void)number, (void)a, (void)b, (void)c;
        return -1;
#endif
    }

    long m_fd = -1;
};

// The worst of a loop's stretches less the time the thread waited for a CPU
// in each: what the thread itself held the loop for.
struct HeldFigures {
    bool counted = false;  // the kernel's account could be read
    double worst = 0;
    double stretch = 0;  // the stretch it came from
    SchedClock::Times in;  // what the thread did in it

    void Add(double stretchMs, const SchedClock::Times& times)
    {
        if (stretchMs - times.waited <= worst) return;
        worst = stretchMs - times.waited;
        stretch = stretchMs;
        in = times;
    }
    // " held-worst 3.20 (stretch 12.10 waited 8.90 ran 2.10)", or nothing
    // where the kernel's account cannot be read.
    std::string Text() const
    {
        if (!counted) return {};
        char text[128];
        snprintf(text, sizeof text, " held-worst %.2f (stretch %.2f waited %.2f ran %.2f)", worst, stretch, in.waited,
                 in.ran);
        return text;
    }
};

// Milliseconds since this process was created.
double SinceProcessStart()
{
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimePreciseAsFileTime(&now);
    ULARGE_INTEGER a{{created.dwLowDateTime, created.dwHighDateTime}}, b{{now.dwLowDateTime, now.dwHighDateTime}};
    return (b.QuadPart - a.QuadPart) / 10000.0;
}

void UseResources(const wchar_t* installExe)
{
    CResourceSettings::SetInstance(GetModuleHandleW(nullptr));
    CResourceSettings::SetResourceModule(LoadLibraryExW(installExe, nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

class TimedNameWnd : public SetNameWnd {
public:
    void HandleNotify(TUINotify& notify) override
    {
        if (notify.type == L"windowinit") {
            printf("first-paint %.1f\n", SinceProcessStart());
            fflush(stdout);
            CloseWithResult(1);
        }
        SetNameWnd::HandleNotify(notify);
    }
};

int NameWindow(const wchar_t* installExe)
{
    UseResources(installExe);
    TimedNameWnd window;
    if (window.CreateNativeWindow(nullptr, kModalTitle, kInstallerWindowStyle, 0) == nullptr) return 1;
    window.CenterNativeWindow();
    window.ShowModalLoop();
    return 0;
}

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        FillRect(paint.hdc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(window, &paint);
        static bool once = false;
        if (!once) {
            once = true;
            printf("first-paint %.1f\n", SinceProcessStart());
            fflush(stdout);
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
        return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

int Floor()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = FloorProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"FloorWindow";
    RegisterClassW(&windowClass);
    // The name window's size at the display's scale, as the name window
    // takes it.
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    HWND window = CreateWindowExW(0, L"FloorWindow", L"floor", WS_POPUP | WS_VISIBLE, 100, 100, MulDiv(711, dpi, 96),
                                  MulDiv(462, dpi, 96), nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}

// The floor under the busy stretches: a bare window whose 10 ms timer does
// nothing, run beside the wizard in the same run. Its own stretches are what
// any Wine window loses on this machine under that load (the window server's
// answers, the scheduler, the host), with no work of ours in them.
int IdleLoop(DWORD milliseconds)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"IdleWindow";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(WS_EX_NOACTIVATE, L"IdleWindow", L"idle", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr || SetTimer(window, 1, 10, nullptr) == 0) return 1;
    const SchedClock sched;
    HeldFigures held;
    held.counted = sched.Available();
    const double start = Now();
    SchedClock::Times stretchTimes;
    double stretchStart = -1, worstStretch = 0, worstMessage = 0;
    size_t messages = 0;
    MSG message;
    while (Now() - start < milliseconds) {
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (stretchStart >= 0) {
                const double stretch = Now() - stretchStart;
                worstStretch = std::max(worstStretch, stretch);
                held.Add(stretch, sched.Read() - stretchTimes);
            }
            stretchStart = -1;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            continue;
        }
        const double before = Now();
        if (stretchStart < 0) {
            stretchStart = before;
            stretchTimes = sched.Read();
        }
        DispatchMessageW(&message);
        worstMessage = std::max(worstMessage, Now() - before);
        ++messages;
    }
    printf("idle window seconds %.1f messages %zu busy-worst %.2f message-worst %.2f%s\n", (Now() - start) / 1000.0,
           messages, worstStretch, worstMessage, held.Text().c_str());
    DestroyWindow(window);
    return 0;
}

void NamedBox(const wchar_t*)
{
    InstallSettings::installDir = L"C:\\Program Files\\Box\\";
    InstallSettings::exeName = L"Box.exe";
    InstallSettings::appName = L"Box";
    InstallSettings::boxName = L"Box";
}

// The wizard over Install.exe's skins, shown, with a named box.
bool ShowWizard(SetupingWnd& wizard, const wchar_t* installExe)
{
    UseResources(installExe);
    InstallSettings::SetDefaults();
    SetupingWnd::s_runNameWindow = NamedBox;
    if (wizard.CreateNativeWindow(nullptr, L"", kInstallerWindowStyle, 0) == nullptr) return false;
    wizard.CenterNativeWindow();
    ShowWindow(wizard.GetHWND(), SW_SHOWNORMAL);
    return true;
}

int Carousel(const wchar_t* installExe, const char* url, const wchar_t* dir)
{
    SetupingWnd wizard;
    if (!ShowWizard(wizard, installExe)) return 1;

    cancelEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HWND window = wizard.GetHWND();
    std::wstring target = dir;
    std::string source = url;
    std::thread download([window, target, source] {
        DownloadOptions options;
        options.url = source;
        options.pauseMs = 0;
        wchar_t path[MAX_PATH] = {};
        SaveZipToDir(target.c_str(), path, window, options);
    });

    // Let the download get going, then slide once, timing every message the
    // UI thread handles and every tick of the slide.
    double start = Now();
    std::vector<double> ticks, busy;
    bool sliding = false, slid = false;
    MSG message;
    while (!slid && Now() - start < 20000) {
        if (!sliding && Now() - start > 500) {
            wizard.background->OnSwitchTimer();
            sliding = true;
        }
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            continue;
        }
        double before = Now();
        bool moveTick = message.message == WM_TIMER && message.wParam == MovingContainer::kMoveTimerId;
        if (!CUIManager::PreTranslateMessage(&message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        double after = Now();
        if (sliding) busy.push_back(after - before);
        if (sliding && moveTick) {
            ticks.push_back(after);
            if (!wizard.background->IsMoving()) slid = true;
        }
    }
    RequestCancel();
    download.join();

    std::vector<double> frames;
    for (size_t i = 1; i < ticks.size(); ++i) frames.push_back(ticks[i] - ticks[i - 1]);
    std::sort(frames.begin(), frames.end());
    double worstBusy = busy.empty() ? 0 : *std::max_element(busy.begin(), busy.end());
    printf("ticks %zu slide %.1f nominal %.1f frame-median %.2f frame-worst %.2f busy-worst %.2f\n", ticks.size(),
           ticks.empty() ? 0.0 : ticks.back() - ticks.front() + (frames.empty() ? 0 : frames[frames.size() / 2]),
           ticks.size() * 10.0, frames.empty() ? 0 : frames[frames.size() / 2], frames.empty() ? 0 : frames.back(),
           worstBusy);
    DestroyWindow(wizard.GetHWND());
    return 0;
}

struct PhaseFigures {
    double seconds = 0;
    size_t messages = 0;
    double worstMessage = 0;  // one message's dispatch
    UINT worstMessageId = 0;
    double worstMessageAt = 0;  // since the phase began
    WPARAM worstMessageWParam = 0;
    double worstStretch = 0;  // from leaving the wait to waiting again
    size_t slides = 0;
    size_t ticks = 0;
    double worstSlide = 0;    // a slide's first to last tick, plus one frame
    double worstFrame = 0;    // between two ticks of a slide
    double nominalSlide = 0;
    std::string worstStretchParts;  // what the worst stretch was made of
    HeldFigures held;
};

// Runs the wizard's loop until `done`, the carousel sliding back to back,
// and times everything the UI thread does: each message, and each stretch
// of work between two waits (several messages back to back delay input as
// one). Phase ends are read between messages, as the installer would.
PhaseFigures Watch(SetupingWnd& wizard, const std::atomic<bool>& done)
{
    PhaseFigures figures;
    const SchedClock sched;
    figures.held.counted = sched.Available();
    const double start = Now();
    double stretchStart = -1;
    SchedClock::Times stretchTimes;
    auto beginStretch = [&](double at) {
        stretchStart = at;
        stretchTimes = sched.Read();
    };
    // The current stretch's messages (id/wParam and milliseconds), kept only
    // when asked for: the formatting would otherwise add to every stretch.
    const bool keepParts = getenv("BOX_BENCH_STRETCH") != nullptr;
    std::string parts;
    std::vector<double> ticks;
    auto endSlide = [&] {
        if (ticks.size() < 2) return;
        double frameSum = 0;
        for (size_t i = 1; i < ticks.size(); ++i) {
            figures.worstFrame = std::max(figures.worstFrame, ticks[i] - ticks[i - 1]);
            frameSum += ticks[i] - ticks[i - 1];
        }
        double frame = frameSum / static_cast<double>(ticks.size() - 1);
        figures.worstSlide = std::max(figures.worstSlide, ticks.back() - ticks.front() + frame);
        figures.nominalSlide = static_cast<double>(ticks.size()) * 10.0;
        figures.ticks += ticks.size();
        ++figures.slides;
        ticks.clear();
    };
    MSG message;
    while (!done.load()) {
        if (!wizard.background->IsMoving()) {
            endSlide();
            if (stretchStart < 0) beginStretch(Now());
            wizard.background->OnSwitchTimer();
            if (keepParts) parts += " switch";
        }
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            const double stretch = stretchStart >= 0 ? Now() - stretchStart : 0;
            if (stretch > figures.worstStretch) {
                figures.worstStretch = stretch;
                figures.worstStretchParts = parts;
            }
            if (stretchStart >= 0) figures.held.Add(stretch, sched.Read() - stretchTimes);
            stretchStart = -1;
            parts.clear();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            continue;
        }
        double before = Now();
        if (stretchStart < 0) beginStretch(before);
        bool moveTick = message.message == WM_TIMER && message.wParam == MovingContainer::kMoveTimerId;
        const SchedClock::Times timesBefore = keepParts ? sched.Read() : SchedClock::Times{};
        if (!CUIManager::PreTranslateMessage(&message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        double after = Now();
        ++figures.messages;
        if (after - before > figures.worstMessage) {
            figures.worstMessage = after - before;
            figures.worstMessageId = message.message;
            figures.worstMessageWParam = message.wParam;
            figures.worstMessageAt = before - start;
        }
        if (moveTick) ticks.push_back(after);
        if (keepParts) {
            const SchedClock::Times in = sched.Read() - timesBefore;
            char part[80];
            snprintf(part, sizeof part, " %x/%x:%.1f(cpu %.1f wait %.1f)+%.1f", message.message,
                     static_cast<unsigned>(message.wParam), after - before, in.ran, in.waited, before - stretchStart);
            parts += part;
        }
    }
    figures.seconds = (Now() - start) / 1000.0;
    return figures;
}

void PrintPhase(const char* phase, const PhaseFigures& f)
{
    printf("%s seconds %.1f messages %zu busy-worst %.2f message-worst %.2f slides %zu ticks %zu "
           "slide-worst %.1f nominal %.1f frame-worst %.2f (worst message 0x%04x, %u, at %.0f)%s\n",
           phase, f.seconds, f.messages, f.worstStretch, f.worstMessage, f.slides, f.ticks, f.worstSlide,
           f.nominalSlide, f.worstFrame, f.worstMessageId, static_cast<unsigned>(f.worstMessageWParam),
           f.worstMessageAt, f.held.Text().c_str());
    if (getenv("BOX_BENCH_STRETCH") != nullptr) printf("  worst stretch:%s\n", f.worstStretchParts.c_str());
    fflush(stdout);
}

int Smooth(const wchar_t* installExe, const char* url, const wchar_t* dir, const wchar_t* package)
{
    SetupingWnd wizard;
    if (!ShowWizard(wizard, installExe)) return 1;
    // As the installer does once its first window shows.
    StartNetworkWarmUp({url});
    // A second on the directory page, as a user reads it before 确认 (the
    // later pages' pictures are decoded meanwhile, off the UI thread).
    for (const double shown = Now(); Now() - shown < 1000;) {
        MSG pending;
        while (PeekMessageW(&pending, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&pending);
            DispatchMessageW(&pending);
        }
        Sleep(5);
    }
    // The progress page, as after 确认.
    if (wizard.layoutStart != nullptr) wizard.layoutStart->SetVisible(false);
    if (wizard.layoutSetup != nullptr) wizard.layoutSetup->SetVisible(true);

    cancelEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HWND window = wizard.GetHWND();
    std::atomic<bool> done{false};
    int failed = 0;

    // The page's first paint decodes its pictures: timed on its own, before
    // any byte flows (the installer too switches pages before it downloads).
    std::thread settle([&] {
        Sleep(500);
        done = true;
        PostMessageW(window, WM_NULL, 0, 0);
    });
    PrintPhase("page", Watch(wizard, done));
    settle.join();
    done = false;

    std::wstring target = dir;
    std::string source = url;
    std::thread download([&] {
        DownloadOptions options;
        options.url = source;
        options.pauseMs = 0;
        wchar_t path[MAX_PATH] = {};
        if (SaveZipToDir(target.c_str(), path, window, options) != DownloadOutcome::Done) failed = 1;
        done = true;
        PostMessageW(window, WM_NULL, 0, 0);
    });
    PrintPhase("download", Watch(wizard, done));
    download.join();

    done = false;
    std::wstring unpacked = target + L"\\unpacked";
    CreateDirectoryW(unpacked.c_str(), nullptr);
    std::wstring archive = package;
    std::thread extraction([&] {
        if (UnzipWidthProgress(archive.c_str(), unpacked.c_str(), window) != 0) failed = 2;
        done = true;
        PostMessageW(window, WM_NULL, 0, 0);
    });
    PrintPhase("extraction", Watch(wizard, done));
    extraction.join();
    DestroyWindow(window);
    if (failed != 0) fprintf(stderr, "the %s failed\n", failed == 1 ? "download" : "extraction");
    return failed;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 3 && wcscmp(argv[1], L"name") == 0) return NameWindow(argv[2]);
    if (argc >= 2 && wcscmp(argv[1], L"floor") == 0) return Floor();
    if (argc >= 3 && wcscmp(argv[1], L"idle") == 0) return IdleLoop(wcstoul(argv[2], nullptr, 10));
    if (argc >= 5 && wcscmp(argv[1], L"carousel") == 0) {
        char url[512] = {};
        WideCharToMultiByte(CP_UTF8, 0, argv[3], -1, url, sizeof url, nullptr, nullptr);
        return Carousel(argv[2], url, argv[4]);
    }
    if (argc >= 6 && wcscmp(argv[1], L"smooth") == 0) {
        char url[512] = {};
        WideCharToMultiByte(CP_UTF8, 0, argv[3], -1, url, sizeof url, nullptr, nullptr);
        return Smooth(argv[2], url, argv[4], argv[5]);
    }
    fprintf(stderr, "usage: start_bench name <Install.exe> | floor | carousel <Install.exe> <url> <dir>"
                    " | idle <milliseconds> | smooth <Install.exe> <url> <dir> <package.zip>\n");
    return 2;
}

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
//
// Prints one line of figures (milliseconds) on stdout.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

#include "app/InstallSettings.h"
#include "install/PackageDownload.h"
#include "install/SetupMessages.h"
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
    HWND window = CreateWindowExW(0, L"FloorWindow", L"floor", WS_POPUP | WS_VISIBLE, 100, 100, 711, 462, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}

void NamedBox(const wchar_t*)
{
    InstallSettings::installDir = L"C:\\Program Files\\Box\\";
    InstallSettings::exeName = L"Box.exe";
    InstallSettings::appName = L"Box";
    InstallSettings::boxName = L"Box";
}

int Carousel(const wchar_t* installExe, const char* url, const wchar_t* dir)
{
    UseResources(installExe);
    InstallSettings::SetDefaults();
    SetupingWnd::s_runNameWindow = NamedBox;
    SetupingWnd wizard;
    if (wizard.CreateNativeWindow(nullptr, L"", kInstallerWindowStyle, 0) == nullptr) return 1;
    wizard.CenterNativeWindow();
    ShowWindow(wizard.GetHWND(), SW_SHOWNORMAL);

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

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 3 && wcscmp(argv[1], L"name") == 0) return NameWindow(argv[2]);
    if (argc >= 2 && wcscmp(argv[1], L"floor") == 0) return Floor();
    if (argc >= 5 && wcscmp(argv[1], L"carousel") == 0) {
        char url[512] = {};
        WideCharToMultiByte(CP_UTF8, 0, argv[3], -1, url, sizeof url, nullptr, nullptr);
        return Carousel(argv[2], url, argv[4]);
    }
    fprintf(stderr, "usage: start_bench name <Install.exe> | floor | carousel <Install.exe> <url> <dir>\n");
    return 2;
}

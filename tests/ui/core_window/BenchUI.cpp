// Painting cost of the setup wizard's skin in a layered window: one full
// repaint, one carousel-sized update (a 597 x 332 picture moved by 9 pixels,
// as the carousel does every 10 ms), and the floor measured in the same run
// (one UpdateLayeredWindow of the whole window from a ready buffer, and one
// AlphaBlend of the same size). Run by tools/bench-ui.sh; prints, asserts
// nothing.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "ui/controls/ContainerUI.h"
#include "ui/controls/LabelUI.h"
#include "ui/core/WindowImplBase.h"

using namespace SkinUI;

namespace {

class SetupSkinWindow : public WindowImplBase {
public:
    CUIString SkinFolder() override { return CUIString(); }
    CUIString SkinSource() override { return CUIString(L"139"); }
    int SkinResourceKind() override { return kSkinXmlResource; }

protected:
    const wchar_t* GetWindowClassName() const override { return L"BoxBenchSetupWindow"; }
};

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct Stats {
    double median;
    double p99;
};

// Times `work` and `floor` alternately, so that load from elsewhere on the
// machine weighs on both alike.
struct Pair {
    Stats work;
    Stats floor;
};

Stats Summarise(std::vector<double>& times)
{
    std::sort(times.begin(), times.end());
    return Stats{times[times.size() / 2], times[std::min(times.size() - 1, times.size() * 99 / 100)]};
}

Pair Measure(int runs, const std::function<void()>& work, const std::function<void()>& floor)
{
    for (int i = 0; i < 5; ++i) {  // warm up: first loads, caches
        work();
        floor();
    }
    std::vector<double> workTimes, floorTimes;
    for (int i = 0; i < runs; ++i) {
        double start = Now();
        work();
        double middle = Now();
        floor();
        floorTimes.push_back(Now() - middle);
        workTimes.push_back(middle - start);
    }
    return Pair{Summarise(workTimes), Summarise(floorTimes)};
}

void Pump()
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void Print(const char* what, Stats stats, double floor)
{
    std::printf("%-44s median %7.3f ms  p99 %7.3f ms  (%.2f x floor)\n", what, stats.median, stats.p99,
                stats.median / floor);
}

}  // namespace

int wmain()
{
    const int runs = 200;
    SetupSkinWindow window;
    if (window.CreateNativeWindow(nullptr, L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 0, 647, 449) == nullptr) {
        std::printf("cannot create the window\n");
        return 1;
    }
    CUIManager& manager = window.GetManager();
    // The carousel's picture, as the setup window adds it at run time.
    auto* host = static_cast<CContainerUI*>(manager.FindByName(L"topBgLayout"));
    auto* slide = new CLabelUI;
    slide->SetFloat(true);
    slide->SetFixedXY({0, 0});
    slide->SetFixedWidth(597);
    slide->SetFixedHeight(332);
    slide->SetBkImage(L"res='148' restype='png' xtiled='false' ytiled='false'");
    host->Add(slide);
    manager.PaintNow();
    Pump();
    if (!manager.IsLayered() || manager.GetLayeredBuffer().Pixels() == nullptr) {
        std::printf("the window is not layered\n");
        return 1;
    }

    // The floor: what the system costs with nothing of ours in it, the
    // whole window and the carousel's area.
    HWND hwnd = window.GetHWND();
    HDC buffer = manager.GetOffscreenDC();
    auto updateLayered = [&](const RECT* dirty) {
        RECT rect;
        ::GetWindowRect(hwnd, &rect);
        POINT destination = {rect.left, rect.top};
        SIZE size = {647, 449};
        POINT source = {0, 0};
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        UPDATELAYEREDWINDOWINFO info = {};
        info.cbSize = sizeof(info);
        info.pptDst = &destination;
        info.psize = &size;
        info.hdcSrc = buffer;
        info.pptSrc = &source;
        info.pblend = &blend;
        info.dwFlags = ULW_ALPHA;
        info.prcDirty = dirty;
        ::UpdateLayeredWindowIndirect(hwnd, &info);
    };
    const RECT carouselArea = {23, 13, 620, 345};
    auto floorWhole = [&] { updateLayered(nullptr); };
    auto floorArea = [&] { updateLayered(&carouselArea); };

    CMemoryDC target(buffer);
    CDibSection targetBits;
    targetBits.Create(buffer, 647, 449);
    HGDIOBJ old = ::SelectObject(target, targetBits.Bitmap());
    Pair blend = Measure(runs, [&] {
        BLENDFUNCTION function = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ::GdiAlphaBlend(target, 0, 0, 647, 449, buffer, 0, 0, 647, 449, function);
    }, floorWhole);
    ::SelectObject(target, old);

    auto fullRepaint = [&] {
        manager.InvalidateWindow();
        manager.PaintNow();
    };
    int x = 0;
    auto tick = [&] {
        x = (x + 9) % 597;
        slide->SetFixedXY({-x, 0});
        manager.PaintNow();
    };
    manager.SetLayeredPartialUpdate(false);
    Pair full = Measure(runs, fullRepaint, floorWhole);
    Pair carousel = Measure(runs, tick, floorWhole);
    manager.SetLayeredPartialUpdate(true);
    Pair fullPartial = Measure(runs, fullRepaint, floorWhole);
    Pair carouselPartial = Measure(runs, tick, floorWhole);
    Pair areaFloor = Measure(runs, floorArea, floorWhole);

    std::printf("setup skin, layered, 647 x 449, %d runs each, floor timed alternately with each line\n", runs);
    Print("AlphaBlend 647 x 449", blend.work, blend.floor.median);
    Print("floor: UpdateLayeredWindow of the window", full.floor, full.floor.median);
    Print("floor: dirty-rectangle update, 597 x 332", areaFloor.work, areaFloor.floor.median);
    Print("full repaint, whole-window update", full.work, full.floor.median);
    Print("carousel tick, whole-window update", carousel.work, carousel.floor.median);
    Print("full repaint, dirty-rectangle update", fullPartial.work, fullPartial.floor.median);
    Print("carousel tick, dirty-rectangle update", carouselPartial.work, carouselPartial.floor.median);
    std::printf("a carousel tick adds %.0f %% to the whole-window floor with whole-window updates, "
                "%.0f %% with dirty-rectangle updates\n",
                (carousel.work.median - carousel.floor.median) * 100.0 / carousel.floor.median,
                (carouselPartial.work.median - carouselPartial.floor.median) * 100.0 / carouselPartial.floor.median);
    std::fflush(stdout);
    ::DestroyWindow(hwnd);
    return 0;
}

#include "ui/controls/StackLayout.h"

#include <algorithm>

namespace SkinUI {
namespace StackLayout {

namespace {

// The algorithm is written once along a "main" axis (the stacking one) and a
// "cross" axis; these views turn a child and sizes into that frame.
struct AxisView {
    bool vertical;
    int Main(Size s) const { return vertical ? s.cy : s.cx; }
    int Cross(Size s) const { return vertical ? s.cx : s.cy; }
    Size Make(int main, int cross) const { return vertical ? Size{cross, main} : Size{main, cross}; }
    int FixedMain(const Child& c) const { return vertical ? c.fixedHeight : c.fixedWidth; }
    int FixedCross(const Child& c) const { return vertical ? c.fixedWidth : c.fixedHeight; }
    int MinMain(const Child& c) const { return vertical ? c.minHeight : c.minWidth; }
    int MaxMain(const Child& c) const { return vertical ? c.maxHeight : c.maxWidth; }
    int MinCross(const Child& c) const { return vertical ? c.minWidth : c.minHeight; }
    int MaxCross(const Child& c) const { return vertical ? c.maxWidth : c.maxHeight; }
    int PadMainStart(const Child& c) const { return vertical ? c.padding.top : c.padding.left; }
    int PadMainEnd(const Child& c) const { return vertical ? c.padding.bottom : c.padding.right; }
    int PadCrossStart(const Child& c) const { return vertical ? c.padding.left : c.padding.top; }
    int PadCrossEnd(const Child& c) const { return vertical ? c.padding.right : c.padding.bottom; }
};

int ClampTo(int value, int low, int high)
{
    if (value > high) value = high;
    if (value < low) value = low;
    return value;
}

}  // namespace

Result Arrange(Axis axis, const Rect& inner, const std::vector<Child>& children, int childPadding, CrossAlign align,
               const MeasureFn& measure)
{
    const AxisView view{axis == Axis::Vertical};
    const bool horizontal = !view.vertical;
    Result result;
    result.rects.resize(children.size());
    if (children.empty()) return result;

    const Size available{inner.Width(), inner.Height()};
    const int availMain = view.Main(available);
    const int availCross = view.Cross(available);

    // The cross size offered to a child: its fixed size (or its maximum),
    // never more than the space left beside its padding.
    auto crossOffer = [&](const Child& c) {
        int limit = view.FixedCross(c) != 0 ? view.FixedCross(c) : view.MaxCross(c);
        return std::min(limit, availCross - view.PadCrossStart(c) - view.PadCrossEnd(c));
    };
    auto mainLimit = [&](const Child& c) { return view.FixedMain(c) != 0 ? view.FixedMain(c) : view.MaxMain(c); };
    // Horizontal layouts stretch every child without a fixed width without
    // asking it; vertical layouts ask every child.
    auto isMeasured = [&](const Child& c) { return !horizontal || c.fixedWidth != 0; };

    // Measuring pass.
    int fixedTotal = 0;
    int stretchable = 0;
    int neededCross = 0;
    const int count = static_cast<int>(children.size());
    for (int i = 0; i < count; ++i) {
        const Child& c = children[i];
        int main = 0;
        int cross = view.FixedCross(c);
        if (isMeasured(c)) {
            Size measured = measure(i, view.Make(std::min(mainLimit(c), availMain), crossOffer(c)));
            main = view.Main(measured);
            cross = view.Cross(measured);
        }
        if (main == 0) {
            ++stretchable;
        } else {
            main = ClampTo(main, view.MinMain(c), view.MaxMain(c));
            fixedTotal += main;
        }
        fixedTotal += view.PadMainStart(c) + view.PadMainEnd(c);
        neededCross = std::max(neededCross, cross + view.PadCrossStart(c) + view.PadCrossEnd(c));
    }
    fixedTotal += childPadding * (count - 1);
    int share = stretchable > 0 ? std::max(0, (availMain - fixedTotal) / stretchable) : 0;

    // Placing pass.
    int position = view.vertical ? inner.top : inner.left;
    int remaining = availMain;
    int remainingFixed = fixedTotal;
    int stretchedSoFar = 0;
    int neededMain = 0;
    for (int i = 0; i < count; ++i) {
        const Child& c = children[i];
        remaining -= view.PadMainStart(c);
        int main = 0;
        int offer = crossOffer(c);
        if (isMeasured(c)) {
            main = view.Main(measure(i, view.Make(std::min(mainLimit(c), remaining), offer)));
        }
        remainingFixed -= view.PadMainStart(c) + view.PadMainEnd(c);
        if (i > 0) remainingFixed -= childPadding;
        if (main == 0) {
            ++stretchedSoFar;
            main = share;
            // The last stretchable child takes whatever the others left, so
            // rounding never leaves a gap at the end.
            if (stretchedSoFar == stretchable) main = std::max(0, remaining - view.PadMainEnd(c) - remainingFixed);
            main = ClampTo(main, view.MinMain(c), view.MaxMain(c));
        } else {
            main = ClampTo(main, view.MinMain(c), view.MaxMain(c));
            remainingFixed -= main;
        }

        int cross = view.MaxCross(c);
        if (cross == 0) cross = availCross - view.PadCrossStart(c) - view.PadCrossEnd(c);
        if (cross < 0) cross = 0;
        if (cross > offer) cross = offer;
        if (cross < view.MinCross(c)) cross = view.MinCross(c);

        int crossStartEdge = view.vertical ? inner.left : inner.top;
        int crossEndEdge = view.vertical ? inner.right : inner.bottom;
        int crossStart;
        switch (align) {
        case CrossAlign::Center:
            crossStart = (crossStartEdge + crossEndEdge) / 2 - cross / 2;
            break;
        case CrossAlign::End:
            crossStart = crossEndEdge - cross - view.PadCrossEnd(c);
            break;
        default:
            crossStart = crossStartEdge + view.PadCrossStart(c);
            break;
        }
        int mainStart = position + view.PadMainStart(c);

        Rect& r = result.rects[i];
        if (view.vertical) {
            r = Rect{crossStart, mainStart, crossStart + cross, mainStart + main};
        } else {
            r = Rect{mainStart, crossStart, mainStart + main, crossStart + cross};
        }
        int step = main + view.PadMainStart(c) + view.PadMainEnd(c);
        neededMain += step + (i > 0 ? childPadding : 0);
        position += step + childPadding;
        remaining -= main + view.PadMainEnd(c) + childPadding;
    }
    result.needed = view.Make(neededMain, neededCross);
    return result;
}

}  // namespace StackLayout
}  // namespace SkinUI

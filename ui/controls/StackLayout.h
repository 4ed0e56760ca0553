#pragma once
// The arithmetic of the vertical and horizontal layouts: a measuring pass
// that finds the fixed total and the stretch share, then a placing pass that
// hands out the rectangles. Pure (no Win32): the layouts describe their
// visible non-floating children, ask their controls for sizes through the
// measuring callback and apply the rectangles that come back.

#include <functional>
#include <vector>

namespace SkinUI {
namespace StackLayout {

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect& o) const { return left == o.left && top == o.top && right == o.right && bottom == o.bottom; }
};

struct Size {
    int cx = 0, cy = 0;
};

enum class Axis { Vertical, Horizontal };

// Where children sit across the stacking axis: left/top, centre, right/bottom.
enum class CrossAlign { Start, Center, End };

struct Child {
    Rect padding;  // outer margins
    int fixedWidth = 0, fixedHeight = 0;
    int minWidth = 0, maxWidth = 9999;
    int minHeight = 0, maxHeight = 9999;
};

// The size a child wants when offered `available` (0 along the stacking axis
// means "stretch").
using MeasureFn = std::function<Size(int index, Size available)>;

struct Result {
    std::vector<Rect> rects;  // one per child, in order
    Size needed;              // what the children need (for scroll ranges)
};

// Stacks `children` inside `inner` along `axis` with `childPadding` between
// them.
Result Arrange(Axis axis, const Rect& inner, const std::vector<Child>& children, int childPadding, CrossAlign align,
               const MeasureFn& measure);

}  // namespace StackLayout
}  // namespace SkinUI

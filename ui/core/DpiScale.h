#pragma once
// One window's scale: skin coordinates are logical pixels at 96 DPI, and
// everything a window lays out, draws or hit-tests is in device pixels,
// `logical * dpi / 96`. Pure arithmetic (no Win32), shared by the manager,
// the layouts and the picture code.
//
// Values are scaled as edges, never as lengths: a control from 10 to 30 and
// its neighbour from 30 to 50 meet at Scale(30) whatever the scale, where
// scaling the widths alone would round each on its own and open or close a
// pixel between them.

namespace SkinUI {

constexpr int kBaseDpi = 96;

class DpiScale {
public:
    DpiScale() = default;
    explicit DpiScale(int dpi) : m_dpi(dpi >= 24 ? dpi : kBaseDpi) {}

    int Dpi() const { return m_dpi; }
    bool IsBase() const { return m_dpi == kBaseDpi; }
    // Percent, as users see it in the display settings (150 for 144 DPI).
    int Percent() const { return (m_dpi * 100 + kBaseDpi / 2) / kBaseDpi; }

    // Logical to device pixels, halves rounded up (towards +infinity, so
    // that negative edges round the same way as positive ones).
    int Scale(int logical) const { return RoundedQuotient(static_cast<long long>(logical) * m_dpi, kBaseDpi); }
    // Device to logical pixels, the same rounding; Unscale(Scale(v)) == v
    // for every scale of at least 100 %.
    int Unscale(int device) const { return RoundedQuotient(static_cast<long long>(device) * kBaseDpi, m_dpi); }
    // A length that starts at `logicalStart`: the distance between the two
    // scaled edges.
    int ScaleLength(int logicalStart, int logicalLength) const
    {
        return Scale(logicalStart + logicalLength) - Scale(logicalStart);
    }

    // The largest DPI, not above `dpi` and not below 96, at which a window of
    // `logicalWidth` x `logicalHeight` fits a work area of `workWidth` x
    // `workHeight` device pixels. A window that does not fit even at 96
    // keeps 96: shrinking the art below its own size blurs it for nothing.
    static int FitDpi(int dpi, int logicalWidth, int logicalHeight, int workWidth, int workHeight);

private:
    static int RoundedQuotient(long long numerator, long long denominator);

    int m_dpi = kBaseDpi;
};

}  // namespace SkinUI

#include "ui/core/DpiScale.h"

#include <algorithm>

namespace SkinUI {

int DpiScale::RoundedQuotient(long long numerator, long long denominator)
{
    // floor(n / d + 1/2) with a floor that also holds below zero.
    long long twice = 2 * numerator + denominator;
    long long divisor = 2 * denominator;
    long long quotient = twice / divisor;
    if (twice % divisor != 0 && twice < 0) --quotient;
    return static_cast<int>(quotient);
}

int DpiScale::FitDpi(int dpi, int logicalWidth, int logicalHeight, int workWidth, int workHeight)
{
    if (dpi <= kBaseDpi) return dpi;
    int fit = dpi;
    // The scaled size grows with the DPI, so the first DPI from the top
    // that fits is the answer; at most a few hundred steps.
    while (fit > kBaseDpi) {
        DpiScale scale(fit);
        bool wide = logicalWidth > 0 && scale.Scale(logicalWidth) > workWidth;
        bool tall = logicalHeight > 0 && scale.Scale(logicalHeight) > workHeight;
        if (!wide && !tall) break;
        --fit;
    }
    return std::max(fit, kBaseDpi);
}

}  // namespace SkinUI

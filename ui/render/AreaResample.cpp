#include "ui/render/AreaResample.h"

#include <algorithm>
#include <cmath>

namespace SkinUI {

namespace {

// For one axis: which input pixels each output pixel covers, and by how
// much. Weights of one output pixel add up to 1.
struct Span {
    int first = 0;
    std::vector<float> weights;
};

std::vector<Span> Spans(int in, int out)
{
    std::vector<Span> spans(static_cast<size_t>(out));
    const double ratio = static_cast<double>(in) / out;  // input pixels per output pixel
    for (int o = 0; o < out; ++o) {
        double start = o * ratio;
        double end = (o + 1) * ratio;
        int first = static_cast<int>(std::floor(start));
        int last = std::min(in - 1, static_cast<int>(std::ceil(end)) - 1);
        Span& span = spans[static_cast<size_t>(o)];
        span.first = first;
        for (int i = first; i <= last; ++i) {
            double covered = std::min<double>(end, i + 1) - std::max<double>(start, i);
            span.weights.push_back(static_cast<float>(std::max(0.0, covered) / ratio));
        }
    }
    return spans;
}

// Exactly half in both directions (the 2x art at 100 %, on every start):
// each output pixel is four whole input pixels, in integers.
std::vector<uint8_t> Halve(const uint8_t* rgba, int width, int outWidth, int outHeight)
{
    std::vector<uint8_t> result(static_cast<size_t>(outWidth) * outHeight * 4);
    const size_t stride = static_cast<size_t>(width) * 4;
    for (int y = 0; y < outHeight; ++y) {
        const uint8_t* top = rgba + static_cast<size_t>(2 * y) * stride;
        const uint8_t* bottom = top + stride;
        uint8_t* out = &result[static_cast<size_t>(y) * outWidth * 4];
        for (int x = 0; x < outWidth; ++x, top += 8, bottom += 8, out += 4) {
            const uint8_t* four[4] = {top, top + 4, bottom, bottom + 4};
            unsigned alpha = 0, colour[3] = {0, 0, 0};
            for (const uint8_t* p : four) {
                alpha += p[3];
                for (int c = 0; c < 3; ++c) colour[c] += static_cast<unsigned>(p[c]) * p[3];
            }
            out[3] = static_cast<uint8_t>((alpha + 2) / 4);
            for (int c = 0; c < 3; ++c) out[c] = alpha == 0 ? 0 : static_cast<uint8_t>((colour[c] + alpha / 2) / alpha);
        }
    }
    return result;
}

}  // namespace

std::vector<uint8_t> AreaResample(const uint8_t* rgba, int width, int height, int outWidth, int outHeight)
{
    constexpr int kLimit = 0x7FFF;
    if (rgba == nullptr || width <= 0 || height <= 0 || outWidth <= 0 || outHeight <= 0 || width > kLimit ||
        height > kLimit || outWidth > kLimit || outHeight > kLimit) {
        return {};
    }
    if (width == 2 * outWidth && height == 2 * outHeight) return Halve(rgba, width, outWidth, outHeight);
    // Premultiplied input, as floats: the filter's only arithmetic.
    std::vector<float> premultiplied(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
        const float alpha = rgba[i * 4 + 3] / 255.0f;
        premultiplied[i * 4 + 0] = rgba[i * 4 + 0] * alpha;
        premultiplied[i * 4 + 1] = rgba[i * 4 + 1] * alpha;
        premultiplied[i * 4 + 2] = rgba[i * 4 + 2] * alpha;
        premultiplied[i * 4 + 3] = rgba[i * 4 + 3];
    }

    // Rows first, then columns: each pass is a weighted sum along one axis.
    const std::vector<Span> across = Spans(width, outWidth);
    std::vector<float> rows(static_cast<size_t>(outWidth) * height * 4, 0.0f);
    for (int y = 0; y < height; ++y) {
        const float* in = &premultiplied[static_cast<size_t>(y) * width * 4];
        float* out = &rows[static_cast<size_t>(y) * outWidth * 4];
        for (int x = 0; x < outWidth; ++x) {
            const Span& span = across[static_cast<size_t>(x)];
            for (size_t k = 0; k < span.weights.size(); ++k) {
                const float* pixel = in + static_cast<size_t>(span.first + static_cast<int>(k)) * 4;
                for (int c = 0; c < 4; ++c) out[x * 4 + c] += pixel[c] * span.weights[k];
            }
        }
    }

    const std::vector<Span> down = Spans(height, outHeight);
    std::vector<uint8_t> result(static_cast<size_t>(outWidth) * outHeight * 4);
    std::vector<float> sum(static_cast<size_t>(outWidth) * 4);
    for (int y = 0; y < outHeight; ++y) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        const Span& span = down[static_cast<size_t>(y)];
        for (size_t k = 0; k < span.weights.size(); ++k) {
            const float* row = &rows[static_cast<size_t>(span.first + static_cast<int>(k)) * outWidth * 4];
            for (size_t i = 0; i < sum.size(); ++i) sum[i] += row[i] * span.weights[k];
        }
        uint8_t* out = &result[static_cast<size_t>(y) * outWidth * 4];
        for (int x = 0; x < outWidth; ++x) {
            const float alpha = std::min(255.0f, sum[static_cast<size_t>(x) * 4 + 3]);
            out[x * 4 + 3] = static_cast<uint8_t>(alpha + 0.5f);
            for (int c = 0; c < 3; ++c) {
                float value = alpha > 0 ? sum[static_cast<size_t>(x) * 4 + c] * 255.0f / alpha : 0.0f;
                out[x * 4 + c] = static_cast<uint8_t>(std::min(255.0f, value) + 0.5f);
            }
        }
    }
    return result;
}

}  // namespace SkinUI

#include "codec/image/resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace kestrova::image {
namespace {

// Catmull-Rom cubic (a = -0.5).
double Cubic(double x) {
    constexpr double a = -0.5;
    x = std::fabs(x);
    if (x < 1.0)
        return ((a + 2.0) * x - (a + 3.0)) * x * x + 1.0;
    if (x < 2.0)
        return ((a * x - 5.0 * a) * x + 8.0 * a) * x - 4.0 * a;
    return 0.0;
}

// For every destination index: `taps` source indices (clamped to the edge)
// and their normalised weights.
struct FilterBank {
    int taps = 0;
    std::vector<int> index;
    std::vector<float> weight;
};

FilterBank MakeFilterBank(int srcSize, int dstSize) {
    const double scale = static_cast<double>(srcSize) / dstSize;
    const double widen = std::max(1.0, scale);
    const double support = 2.0 * widen;
    FilterBank bank;
    bank.taps = static_cast<int>(std::ceil(support)) * 2 + 1;
    bank.index.resize(static_cast<size_t>(dstSize) * bank.taps);
    bank.weight.resize(bank.index.size());
    std::vector<double> w(static_cast<size_t>(bank.taps));
    for (int i = 0; i < dstSize; ++i) {
        const double centre = (i + 0.5) * scale; // in source pixel units, edges at integers
        const int first = static_cast<int>(std::floor(centre - support));
        double sum = 0.0;
        for (int t = 0; t < bank.taps; ++t) {
            const int k = first + t;
            w[static_cast<size_t>(t)] = Cubic((k + 0.5 - centre) / widen);
            sum += w[static_cast<size_t>(t)];
        }
        for (int t = 0; t < bank.taps; ++t) {
            const size_t at = static_cast<size_t>(i) * bank.taps + t;
            bank.index[at] = std::clamp(first + t, 0, srcSize - 1);
            bank.weight[at] = static_cast<float>(w[static_cast<size_t>(t)] / sum);
        }
    }
    return bank;
}

uint8_t ToSample(float v) {
    return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

} // namespace

bool ResampleBicubic(const uint8_t* src, int srcWidth, int srcHeight, int srcStride, uint8_t* dst,
                     int dstWidth, int dstHeight, int dstStride) {
    try {
        const FilterBank horizontal = MakeFilterBank(srcWidth, dstWidth);
        const FilterBank vertical = MakeFilterBank(srcHeight, dstHeight);
        const size_t rowFloats = static_cast<size_t>(dstWidth) * 3;
        std::vector<float> rows(static_cast<size_t>(srcHeight) * rowFloats);

        // Horizontal pass: every source row to the destination width.
        for (int y = 0; y < srcHeight; ++y) {
            const uint8_t* in = src + static_cast<size_t>(y) * srcStride;
            float* out = rows.data() + static_cast<size_t>(y) * rowFloats;
            for (int x = 0; x < dstWidth; ++x) {
                const size_t base = static_cast<size_t>(x) * horizontal.taps;
                float b = 0, g = 0, r = 0;
                for (int t = 0; t < horizontal.taps; ++t) {
                    const uint8_t* p = in + horizontal.index[base + t] * 3;
                    const float w = horizontal.weight[base + t];
                    b += w * p[0];
                    g += w * p[1];
                    r += w * p[2];
                }
                out[x * 3] = b;
                out[x * 3 + 1] = g;
                out[x * 3 + 2] = r;
            }
        }

        // Vertical pass into the destination rows.
        std::vector<float> acc(rowFloats);
        for (int y = 0; y < dstHeight; ++y) {
            std::fill(acc.begin(), acc.end(), 0.0f);
            const size_t base = static_cast<size_t>(y) * vertical.taps;
            for (int t = 0; t < vertical.taps; ++t) {
                const float* in =
                    rows.data() + static_cast<size_t>(vertical.index[base + t]) * rowFloats;
                const float w = vertical.weight[base + t];
                for (size_t i = 0; i < rowFloats; ++i)
                    acc[i] += w * in[i];
            }
            uint8_t* out = dst + static_cast<size_t>(y) * dstStride;
            for (size_t i = 0; i < rowFloats; ++i)
                out[i] = ToSample(acc[i]);
            std::memset(out + rowFloats, 0, static_cast<size_t>(dstStride) - rowFloats);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

} // namespace kestrova::image

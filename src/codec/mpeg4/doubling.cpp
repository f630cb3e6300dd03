#include "codec/mpeg4/doubling.h"

#include <algorithm>
#include <cstddef>

namespace kestrova::mpeg4 {
namespace {

constexpr int kMaxLine = 1024;

inline uint8_t half_sample(int m2, int a, int b, int p3) {
    return static_cast<uint8_t>(std::clamp((9 * (a + b) - m2 - p3) >> 4, 0, 255));
}

// Doubles one line of n samples into 2n, edges replicated.
void double_line(const uint8_t* in, int n, uint8_t* out, uint8_t* padded) {
    // padded: 2 samples before, n, 3 after.
    padded[0] = padded[1] = in[0];
    std::copy(in, in + n, padded + 2);
    padded[n + 2] = padded[n + 3] = padded[n + 4] = in[n - 1];
    const uint8_t* p = padded + 2;
    for (int x = 0; x < n; ++x) {
        out[2 * x] = p[x];
        out[2 * x + 1] = half_sample(p[x - 2], p[x], p[x + 1], p[x + 3]);
    }
}

} // namespace

void double_plane_ref(const uint8_t* src, ptrdiff_t src_stride, int width, int height,
                      uint8_t* dst) {
    const ptrdiff_t out_stride = ptrdiff_t{2} * width;
    // Planes are at most kMaxLine wide; larger ones are not doubled.
    if (width <= 0 || height <= 0 || width > kMaxLine)
        return;
    uint8_t half[kMaxLine];
    uint8_t padded[kMaxLine + 5];
    auto line = [&](int y) { return src + std::clamp(y, 0, height - 1) * src_stride; };
    for (int y = 0; y < height; ++y) {
        const uint8_t* m2 = line(y - 2);
        const uint8_t* a = line(y);
        const uint8_t* b = line(y + 1);
        const uint8_t* p3 = line(y + 3);
        for (int x = 0; x < width; ++x)
            half[x] = half_sample(m2[x], a[x], b[x], p3[x]);
        double_line(a, width, dst + 2 * y * out_stride, padded);
        double_line(half, width, dst + (2 * y + 1) * out_stride, padded);
    }
}

} // namespace kestrova::mpeg4

#include "codec/mpeg4/deblock.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

namespace kestrova::mpeg4 {

namespace {
constexpr int kThr1 = 2;
constexpr int kThr2 = 6;
} // namespace

void deblock_samples(uint8_t* p, ptrdiff_t step, int qp) {
    int s[10];
    for (int i = 0; i < 10; ++i)
        s[i] = p[i * step];
    int eq_cnt = 0;
    for (int i = 0; i < 9; ++i)
        eq_cnt += std::abs(s[i] - s[i + 1]) <= kThr1;

    if (eq_cnt < kThr2) {
        const int a0 = 2 * s[3] - 5 * s[4] + 5 * s[5] - 2 * s[6];
        if (std::abs(a0) >= 8 * qp)
            return;
        const int a1 = 2 * s[1] - 5 * s[2] + 5 * s[3] - 2 * s[4];
        const int a2 = 2 * s[5] - 5 * s[6] + 5 * s[7] - 2 * s[8];
        const int m = std::min(std::abs(a1), std::abs(a2));
        if (std::abs(a0) <= m)
            return;
        int d = (5 * (std::abs(a0) - m) + 32) >> 6;
        if (a0 > 0)
            d = -d;
        const int q = (s[4] - s[5]) / 2;
        d = std::clamp(d, std::min(0, q), std::max(0, q));
        p[4 * step] = static_cast<uint8_t>(s[4] - d);
        p[5 * step] = static_cast<uint8_t>(s[5] + d);
        return;
    }

    const auto [mn, mx] = std::minmax_element(s + 1, s + 9);
    if (*mx - *mn >= 2 * qp)
        return;
    const int p0 = std::abs(s[1] - s[0]) < qp ? s[0] : s[1];
    const int p9 = std::abs(s[8] - s[9]) < qp ? s[9] : s[8];
    // Padded run: index k + 4 holds sample k for k = 1..8, p0 / p9 beyond.
    int v[17];
    for (int k = 0; k < 17; ++k) {
        const int n = k - 4;
        v[k] = n < 1 ? p0 : (n > 8 ? p9 : s[n]);
    }
    static constexpr int kWeights[9] = {1, 1, 2, 2, 4, 2, 2, 1, 1};
    for (int n = 1; n <= 8; ++n) {
        int sum = 8;
        for (int k = 0; k < 9; ++k)
            sum += kWeights[k] * v[n + k];
        p[n * step] = static_cast<uint8_t>(sum >> 4);
    }
}

void deblock_luma(uint8_t* plane, ptrdiff_t stride, int width, int height, int qp) {
    for (int k = 1; k <= (height - 1) / 8; ++k) {
        if (8 * k + 4 >= height)
            break;
        uint8_t* line = plane + (8 * k - 5) * stride;
        for (int x = 0; x < width; ++x)
            deblock_samples(line + x, stride, qp);
    }
    for (int x = 8; x + 4 < width; x += 8) {
        for (int y = 0; y < height; ++y)
            deblock_samples(plane + y * stride + x - 5, 1, qp);
    }
}

int next_filter_strength(int32_t& memory, bool intra, int vop_quant) {
    if (intra)
        return memory + 5;
    memory = (vop_quant + 4 * memory) / 5;
    return memory;
}

} // namespace kestrova::mpeg4

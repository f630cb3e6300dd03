#include "codec/mpeg4/idct.h"

#include <algorithm>
#include <cstring>

namespace kestrova::mpeg4 {
namespace {

// Intermediate sums are kept in 64 bits: with saturated coefficients they fit
// 32 bits for every real picture, but a hostile stream must not overflow.
using Acc = int64_t;

inline Acc round_row(Acc z) {
    return (724 * z + 512) >> 10;
}
inline Acc round_col(Acc z) {
    return 724 * (z >> 10) + 128;
}

template <bool Column> inline void idct_line(const Acc x[8], Acc y[8]) {
    const Acc t1 = 100 * x[7] + 502 * x[1];
    const Acc t2 = 284 * x[5] + 426 * x[3];
    const Acc t3 = 426 * x[5] - 284 * x[3];
    const Acc t4 = 100 * x[1] - 502 * x[7];
    const Acc o0 = t1 + t2;
    const Acc o3 = t3 + t4;
    Acc o2, o1;
    if constexpr (Column) {
        o2 = round_col(t1 + t3 - t2 - t4);
        o1 = round_col(t1 + t4 - t3 - t2);
    } else {
        o2 = round_row(t1 + t3 - t2 - t4);
        o1 = round_row(t1 + t4 - t3 - t2);
    }
    const Acc t = 473 * x[2] + 196 * x[6];
    const Acc u = 196 * x[2] - 473 * x[6];
    const Acc w = 362 * (x[0] + x[4]);
    const Acc v = 362 * (x[0] - x[4]);
    const Acc e0 = w + t, e1 = v + u, e2 = v - u, e3 = w - t;
    y[0] = e0 + o0;
    y[7] = e0 - o0;
    y[1] = e1 + o1;
    y[6] = e1 - o1;
    y[2] = e2 + o2;
    y[5] = e2 - o2;
    y[3] = e3 + o3;
    y[4] = e3 - o3;
}

// Runs both passes; out receives the final values (y + 2^19) >> 20.
void transform(const int32_t* in, int32_t* out) {
    Acc rows[64];
    unsigned row_mask = 0; // rows with a non-zero value
    for (int r = 0; r < 8; ++r) {
        const int32_t* src = in + 8 * r;
        Acc* dst = rows + 8 * r;
        bool ac = false;
        for (int i = 1; i < 8; ++i)
            ac |= src[i] != 0;
        if (!ac) {
            // A line with only its first value gives 362 x x0 everywhere.
            const Acc dc = Acc{362} * src[0];
            std::fill(dst, dst + 8, dc);
            row_mask |= (src[0] != 0) << r;
            continue;
        }
        row_mask |= 1u << r;
        Acc x[8];
        for (int i = 0; i < 8; ++i)
            x[i] = src[i];
        idct_line<false>(x, dst);
    }
    if ((row_mask & ~1u) == 0) {
        // Only the first row is set: every column holds just x0, so the
        // column pass reduces to e = 362 x x0 and the odd terms R(0) = 128
        // on lines 1, 2 (added) and 5, 6 (subtracted).
        for (int c = 0; c < 8; ++c) {
            const Acc e = 362 * rows[c] + (Acc{1} << 19);
            const auto base = static_cast<int32_t>(e >> 20);
            const auto plus = static_cast<int32_t>((e + 128) >> 20);
            const auto minus = static_cast<int32_t>((e - 128) >> 20);
            out[c] = out[24 + c] = out[32 + c] = out[56 + c] = base;
            out[8 + c] = out[16 + c] = plus;
            out[40 + c] = out[48 + c] = minus;
        }
        return;
    }
    for (int c = 0; c < 8; ++c) {
        Acc x[8], y[8];
        for (int i = 0; i < 8; ++i)
            x[i] = rows[8 * i + c];
        idct_line<true>(x, y);
        for (int i = 0; i < 8; ++i)
            out[8 * i + c] = static_cast<int32_t>((y[i] + (Acc{1} << 19)) >> 20);
    }
}

inline uint8_t clamp_byte(int32_t v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

} // namespace

void idct_ref(int32_t* block) {
    transform(block, block);
}

void idct_put_dc(int32_t dc, uint8_t* dst, ptrdiff_t stride) {
    // The first-row shortcut of transform() with one value: lines 0, 3, 4
    // and 7 hold the rounded DC term, lines 1, 2 and 5, 6 it plus or minus
    // the rounding constant of the odd terms.
    const Acc e = Acc{362} * 362 * dc + (Acc{1} << 19);
    constexpr uint64_t kBytes = 0x0101010101010101;
    const uint64_t base = kBytes * clamp_byte(static_cast<int32_t>(e >> 20));
    const uint64_t plus = kBytes * clamp_byte(static_cast<int32_t>((e + 128) >> 20));
    const uint64_t minus = kBytes * clamp_byte(static_cast<int32_t>((e - 128) >> 20));
    const uint64_t lines[8] = {base, plus, plus, base, base, minus, minus, base};
    for (int r = 0; r < 8; ++r)
        std::memcpy(dst + r * stride, &lines[r], 8);
}

void idct_put_ref(int32_t* block, uint8_t* dst, ptrdiff_t stride) {
    transform(block, block);
    for (int r = 0; r < 8; ++r, dst += stride)
        for (int c = 0; c < 8; ++c)
            dst[c] = clamp_byte(block[8 * r + c]);
    std::fill(block, block + 64, 0);
}

void idct_add_columns_ref(int32_t* block, uint8_t* dst, ptrdiff_t stride) {
    int32_t rows[64];
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            rows[8 * r + c] = block[8 * c + r];
    idct_add_ref(rows, dst, stride);
    std::fill(block, block + 64, 0);
}

void idct_add_ref(int32_t* block, uint8_t* dst, ptrdiff_t stride) {
    transform(block, block);
    for (int r = 0; r < 8; ++r, dst += stride)
        for (int c = 0; c < 8; ++c)
            dst[c] = clamp_byte(dst[c] + block[8 * r + c]);
    std::fill(block, block + 64, 0);
}

} // namespace kestrova::mpeg4

#include "codec/mpeg4/deblock_simd.h"

#if defined(__x86_64__) || defined(__i386__)

#include "codec/mpeg4/deblock.h"

#include <immintrin.h>

#define KESTROVA_AVX2 __attribute__((target("avx2")))

namespace kestrova::mpeg4 {
namespace {

// Strengths past this go to the plain filter (16-bit thresholds); streams
// give at most 31 + 5.
constexpr int kMaxVectorQp = 1024;

// 2a - 5b + 5c - 2d
KESTROVA_AVX2 inline __m256i activity(__m256i a, __m256i b, __m256i c, __m256i d) {
    const __m256i x = _mm256_sub_epi16(a, d), y = _mm256_sub_epi16(c, b);
    return _mm256_add_epi16(_mm256_add_epi16(x, x), _mm256_add_epi16(_mm256_slli_epi16(y, 2), y));
}

// Sixteen runs of ten samples s0..s9 across an edge, one run per 16-bit
// lane, filtered exactly as deblock_samples does: s1..s8 are replaced.
// False when no sample changed. Every intermediate fits in 16 bits (at most
// 16 x 255 + 8, 14 x 255 for the activity terms, 5 x 14 x 255 + 32 for the
// correction) for strengths up to kMaxVectorQp.
KESTROVA_AVX2 inline bool filter16(__m256i* s, int qp) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i q = _mm256_set1_epi16(static_cast<short>(qp));
    // Flat-region count: neighbours at most kThr1 = 2 apart.
    __m256i count = zero;
    const __m256i three = _mm256_set1_epi16(3);
    for (int i = 0; i < 9; ++i) {
        const __m256i d = _mm256_abs_epi16(_mm256_sub_epi16(s[i], s[i + 1]));
        count = _mm256_sub_epi16(count, _mm256_cmpgt_epi16(three, d));
    }
    const __m256i flat = _mm256_cmpgt_epi16(count, _mm256_set1_epi16(5)); // count >= 6
    // Each mode is only worked out when some lane uses it; lanes of the other
    // mode keep their samples, so the modes do not disturb each other.
    bool changed = false;
    if (!_mm256_testc_si256(flat, _mm256_cmpeq_epi16(zero, zero))) {
        // Default mode: moves s4 and s5 towards each other.
        const __m256i a0 = activity(s[3], s[4], s[5], s[6]);
        const __m256i a1 = activity(s[1], s[2], s[3], s[4]);
        const __m256i a2 = activity(s[5], s[6], s[7], s[8]);
        const __m256i abs_a0 = _mm256_abs_epi16(a0);
        const __m256i m = _mm256_min_epi16(_mm256_abs_epi16(a1), _mm256_abs_epi16(a2));
        const __m256i use_default = _mm256_andnot_si256(
            flat, _mm256_and_si256(_mm256_cmpgt_epi16(_mm256_slli_epi16(q, 3), abs_a0),
                                   _mm256_cmpgt_epi16(abs_a0, m)));
        if (!_mm256_testz_si256(use_default, use_default)) {
            const __m256i diff = _mm256_sub_epi16(abs_a0, m);
            __m256i d = _mm256_srai_epi16(
                _mm256_add_epi16(_mm256_add_epi16(_mm256_slli_epi16(diff, 2), diff),
                                 _mm256_set1_epi16(32)),
                6);
            d = _mm256_sign_epi16(d, _mm256_sub_epi16(zero, a0)); // negated for a0 > 0
            const __m256i gap = _mm256_sub_epi16(s[4], s[5]);
            const __m256i half =
                _mm256_srai_epi16(_mm256_add_epi16(gap, _mm256_srli_epi16(gap, 15)), 1);
            d = _mm256_min_epi16(_mm256_max_epi16(d, _mm256_min_epi16(zero, half)),
                                 _mm256_max_epi16(zero, half));
            s[4] = _mm256_blendv_epi8(s[4], _mm256_sub_epi16(s[4], d), use_default);
            s[5] = _mm256_blendv_epi8(s[5], _mm256_add_epi16(s[5], d), use_default);
            changed = true;
        }
    }
    if (_mm256_testz_si256(flat, flat))
        return changed;

    // Flat regions: a nine-tap smoothing of s1..s8 with padded ends.
    __m256i mx = s[1], mn = s[1];
    for (int i = 2; i <= 8; ++i) {
        mx = _mm256_max_epi16(mx, s[i]);
        mn = _mm256_min_epi16(mn, s[i]);
    }
    const __m256i use_smooth = _mm256_and_si256(
        flat, _mm256_cmpgt_epi16(_mm256_add_epi16(q, q), _mm256_sub_epi16(mx, mn)));
    if (_mm256_testz_si256(use_smooth, use_smooth))
        return changed;
    const __m256i p0 = _mm256_blendv_epi8(
        s[1], s[0], _mm256_cmpgt_epi16(q, _mm256_abs_epi16(_mm256_sub_epi16(s[1], s[0]))));
    const __m256i p9 = _mm256_blendv_epi8(
        s[8], s[9], _mm256_cmpgt_epi16(q, _mm256_abs_epi16(_mm256_sub_epi16(s[8], s[9]))));
    __m256i v[17];
    for (int k = 0; k < 17; ++k) {
        const int n = k - 4;
        v[k] = n < 1 ? p0 : (n > 8 ? p9 : s[n]);
    }
    __m256i out[9];
    const __m256i eight = _mm256_set1_epi16(8);
    for (int n = 1; n <= 8; ++n) {
        const __m256i* w = v + n;
        const __m256i ones =
            _mm256_add_epi16(_mm256_add_epi16(w[0], w[1]), _mm256_add_epi16(w[7], w[8]));
        const __m256i twos =
            _mm256_add_epi16(_mm256_add_epi16(w[2], w[3]), _mm256_add_epi16(w[5], w[6]));
        const __m256i sum = _mm256_add_epi16(
            _mm256_add_epi16(ones, eight),
            _mm256_add_epi16(_mm256_add_epi16(twos, twos), _mm256_slli_epi16(w[4], 2)));
        out[n] = _mm256_srli_epi16(sum, 4);
    }
    for (int n = 1; n <= 8; ++n)
        s[n] = _mm256_blendv_epi8(s[n], out[n], use_smooth);
    return true;
}

KESTROVA_AVX2 inline __m256i widen(__m128i v) {
    return _mm256_cvtepu8_epi16(v);
}

KESTROVA_AVX2 inline __m128i narrow(__m256i v) {
    // Values are 0..255 already; the pack works per 128-bit half.
    const __m256i packed = _mm256_packus_epi16(v, v);
    return _mm256_castsi256_si128(_mm256_permute4x64_epi64(packed, 0x08));
}

// Where the unpack network below leaves column c: bit-reversed order.
constexpr int kColumnSlot[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};

// 16 x 16 bytes transposed in place (rows in, columns out).
inline void transpose16(__m128i* r) {
    __m128i a[16], b[16];
    for (int i = 0; i < 8; ++i) {
        a[2 * i] = _mm_unpacklo_epi8(r[2 * i], r[2 * i + 1]);
        a[2 * i + 1] = _mm_unpackhi_epi8(r[2 * i], r[2 * i + 1]);
    }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 2; ++j) {
            b[4 * i + j] = _mm_unpacklo_epi16(a[4 * i + j], a[4 * i + j + 2]);
            b[4 * i + j + 2] = _mm_unpackhi_epi16(a[4 * i + j], a[4 * i + j + 2]);
        }
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 4; ++j) {
            a[8 * i + j] = _mm_unpacklo_epi32(b[8 * i + j], b[8 * i + j + 4]);
            a[8 * i + j + 4] = _mm_unpackhi_epi32(b[8 * i + j], b[8 * i + j + 4]);
        }
    for (int j = 0; j < 8; ++j) {
        b[j] = _mm_unpacklo_epi64(a[j], a[j + 8]);
        b[j + 8] = _mm_unpackhi_epi64(a[j], a[j + 8]);
    }
    for (int c = 0; c < 16; ++c)
        r[c] = b[kColumnSlot[c]];
}

constexpr int kMaxStripWidth = 1024;

// The vertical edges of sixteen lines (a multiple of 16 wide): the strip is
// transposed tile by tile into `columns` (entry x holds column x of the
// sixteen lines), filtered there like horizontal edges, and transposed back.
KESTROVA_AVX2 void vertical_edges_of_strip(uint8_t* strip, ptrdiff_t stride, int width, int qp,
                                           uint8_t (*columns)[16]) {
    for (int x0 = 0; x0 < width; x0 += 16) {
        __m128i r[16];
        for (int i = 0; i < 16; ++i)
            r[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(strip + i * stride + x0));
        transpose16(r);
        for (int c = 0; c < 16; ++c)
            _mm_store_si128(reinterpret_cast<__m128i*>(columns[x0 + c]), r[c]);
    }
    bool changed = false;
    for (int x = 8; x + 4 < width; x += 8) {
        __m256i s[10];
        for (int i = 0; i < 10; ++i)
            s[i] = widen(_mm_load_si128(reinterpret_cast<const __m128i*>(columns[x - 5 + i])));
        if (!filter16(s, qp))
            continue;
        changed = true;
        for (int i = 1; i <= 8; ++i)
            _mm_store_si128(reinterpret_cast<__m128i*>(columns[x - 5 + i]), narrow(s[i]));
    }
    if (!changed)
        return;
    for (int x0 = 0; x0 < width; x0 += 16) {
        __m128i r[16];
        for (int c = 0; c < 16; ++c)
            r[c] = _mm_load_si128(reinterpret_cast<const __m128i*>(columns[x0 + c]));
        transpose16(r);
        for (int i = 0; i < 16; ++i)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(strip + i * stride + x0), r[i]);
    }
}

KESTROVA_AVX2 void deblock_luma_avx2(uint8_t* plane, ptrdiff_t stride, int width, int height,
                                     int qp) {
    if (qp < 0 || qp > kMaxVectorQp)
        return deblock_luma(plane, stride, width, height, qp);
    // Horizontal edges, sixteen columns at a time; each edge reads what the
    // one above it wrote, so edges go in order.
    for (int k = 1; k <= (height - 1) / 8; ++k) {
        if (8 * k + 4 >= height)
            break;
        uint8_t* line = plane + (8 * k - 5) * stride;
        int x = 0;
        for (; x + 16 <= width; x += 16) {
            __m256i s[10];
            for (int i = 0; i < 10; ++i)
                s[i] =
                    widen(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line + i * stride + x)));
            if (!filter16(s, qp))
                continue;
            for (int i = 1; i <= 8; ++i)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(line + i * stride + x), narrow(s[i]));
        }
        for (; x < width; ++x)
            deblock_samples(line + x, stride, qp);
    }
    // Vertical edges: lines are independent of each other, and each edge
    // reads what the one left of it wrote.
    if (width % 16 == 0 && width <= kMaxStripWidth) {
        alignas(16) uint8_t columns[kMaxStripWidth][16];
        int y = 0;
        for (; y + 16 <= height; y += 16)
            vertical_edges_of_strip(plane + y * stride, stride, width, qp, columns);
        for (; y < height; ++y)
            for (int x = 8; x + 4 < width; x += 8)
                deblock_samples(plane + y * stride + x - 5, 1, qp);
        return;
    }
    // Other widths: sixteen lines at a time through a transposition of the
    // 16 x 16 samples from eight left of each edge.
    for (int x = 8; x + 4 < width; x += 8) {
        int y = 0;
        if (x + 8 <= width) {
            for (; y + 16 <= height; y += 16) {
                uint8_t* base = plane + y * stride + x - 8;
                __m128i r[16];
                for (int i = 0; i < 16; ++i)
                    r[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i * stride));
                transpose16(r);
                __m256i s[10];
                for (int i = 0; i < 10; ++i)
                    s[i] = widen(r[3 + i]);
                if (!filter16(s, qp))
                    continue;
                for (int i = 1; i <= 8; ++i)
                    r[3 + i] = narrow(s[i]);
                transpose16(r);
                for (int i = 0; i < 16; ++i)
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(base + i * stride), r[i]);
            }
        }
        for (; y < height; ++y)
            deblock_samples(plane + y * stride + x - 5, 1, qp);
    }
}

} // namespace

DeblockFn deblock_luma_avx2_kernel() {
    return &deblock_luma_avx2;
}

} // namespace kestrova::mpeg4

#else

namespace kestrova::mpeg4 {
DeblockFn deblock_luma_avx2_kernel() {
    return nullptr;
}
} // namespace kestrova::mpeg4

#endif

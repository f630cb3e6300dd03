#include "codec/mpeg4/deblock_simd.h"

#if defined(__x86_64__) || defined(__i386__)

#include "codec/mpeg4/deblock.h"

#include <algorithm>
#include <cstring>
#include <immintrin.h>

#define KESTROVA_AVX2 __attribute__((target("avx2")))

namespace kestrova::mpeg4 {
namespace {

// Strengths past this go to the plain filter: the 8-bit thresholds below
// need 2 qp - 129 >= -128 and 2 qp - 1 < 128. Streams give at most 31 + 5.
constexpr int kMaxVectorQp = 63;

// Thirty-two runs of ten samples s0..s9 across an edge, one run per byte
// lane. Decisions are made on bytes; only the arithmetic that needs more
// than eight bits is done on 16-bit halves.
struct Limits {
    __m256i near_add, near_gt; // |s1 - s0| < qp on saturated differences
    __m256i span;              // 2 qp - 1: the widest s1..s8 that is smoothed
    __m256i eight_qp;          // 8 qp in 16-bit lanes
};

KESTROVA_AVX2 inline Limits limits_for(int qp) {
    return {_mm256_set1_epi8(static_cast<char>(qp - 129)),
            _mm256_set1_epi8(static_cast<char>(2 * qp - 129)),
            _mm256_set1_epi8(static_cast<char>(2 * qp - 1)),
            _mm256_set1_epi16(static_cast<short>(8 * qp))};
}

// Lanes where the saturated difference x (of samples flipped to signed)
// is within (-t, t): x + t - 1 lies in [0, 2t - 2], so x + t - 129 lies in
// [-128, 2t - 130] and wraps to t - 1 or more everywhere else.
KESTROVA_AVX2 inline __m256i near(__m256i x, __m256i add, __m256i gt) {
    return _mm256_cmpgt_epi8(gt, _mm256_add_epi8(x, add));
}

KESTROVA_AVX2 inline __m256i low16(__m256i v) {
    return _mm256_unpacklo_epi8(v, _mm256_setzero_si256());
}
KESTROVA_AVX2 inline __m256i high16(__m256i v) {
    return _mm256_unpackhi_epi8(v, _mm256_setzero_si256());
}

KESTROVA_AVX2 inline __m256i add16(__m256i a, __m256i b) {
    return _mm256_add_epi16(a, b);
}

// 2a - 5b + 5c - 2d
KESTROVA_AVX2 inline __m256i activity(__m256i a, __m256i b, __m256i c, __m256i d) {
    const __m256i x = _mm256_sub_epi16(a, d), y = _mm256_sub_epi16(c, b);
    return _mm256_add_epi16(_mm256_add_epi16(x, x), _mm256_add_epi16(_mm256_slli_epi16(y, 2), y));
}

// The default mode on sixteen runs in 16-bit lanes a[1..8], for lanes in
// `rough` (fewer than six near pairs): moves a[4] and a[5] towards each
// other. Every intermediate fits in 16 bits: 14 x 255 for an activity,
// 5 x 8 x 63 + 32 for the correction.
KESTROVA_AVX2 inline void default_half(__m256i* a, __m256i rough, __m256i eight_qp) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i a0 = activity(a[3], a[4], a[5], a[6]);
    const __m256i a1 = activity(a[1], a[2], a[3], a[4]);
    const __m256i a2 = activity(a[5], a[6], a[7], a[8]);
    const __m256i abs_a0 = _mm256_abs_epi16(a0);
    const __m256i m = _mm256_min_epi16(_mm256_abs_epi16(a1), _mm256_abs_epi16(a2));
    const __m256i use =
        _mm256_and_si256(rough, _mm256_and_si256(_mm256_cmpgt_epi16(eight_qp, abs_a0),
                                                 _mm256_cmpgt_epi16(abs_a0, m)));
    const __m256i diff = _mm256_sub_epi16(abs_a0, m);
    __m256i d = _mm256_srai_epi16(
        _mm256_add_epi16(_mm256_add_epi16(_mm256_slli_epi16(diff, 2), diff), _mm256_set1_epi16(32)),
        6);
    d = _mm256_sign_epi16(d, _mm256_sub_epi16(zero, a0)); // negated for a0 > 0
    const __m256i gap = _mm256_sub_epi16(a[4], a[5]);
    const __m256i half = _mm256_srai_epi16(_mm256_add_epi16(gap, _mm256_srli_epi16(gap, 15)), 1);
    d = _mm256_min_epi16(_mm256_max_epi16(d, _mm256_min_epi16(zero, half)),
                         _mm256_max_epi16(zero, half));
    d = _mm256_and_si256(d, use);
    a[4] = _mm256_sub_epi16(a[4], d);
    a[5] = _mm256_add_epi16(a[5], d);
}

// The nine-tap smoothing {1,1,2,2,4,2,2,1,1} / 16 of s1..s8 before the
// final shift: out[n] = 16 x result + remainder, v[0] and v[9] holding the
// padding p0 and p9. Sum n is W_n + 2 s_n, where W_n, a nine-sample box plus
// the five-sample box at its centre (padded ends folded in), slides by
// adding and dropping pair sums. Lanes is Wide (16-bit) or Narrow (8-bit
// lanes, whose sums only stay exact below 256).
struct Wide {
    KESTROVA_AVX2 static __m256i add(__m256i a, __m256i b) { return _mm256_add_epi16(a, b); }
    KESTROVA_AVX2 static __m256i sub(__m256i a, __m256i b) { return _mm256_sub_epi16(a, b); }
    KESTROVA_AVX2 static __m256i eight() { return _mm256_set1_epi16(8); }
};
struct Narrow {
    KESTROVA_AVX2 static __m256i add(__m256i a, __m256i b) { return _mm256_add_epi8(a, b); }
    KESTROVA_AVX2 static __m256i sub(__m256i a, __m256i b) { return _mm256_sub_epi8(a, b); }
    KESTROVA_AVX2 static __m256i eight() { return _mm256_set1_epi8(8); }
};

template <class L> KESTROVA_AVX2 inline void smooth_sums(const __m256i* v, __m256i* out) {
    const __m256i p = v[0], q = v[9];
    const __m256i p2 = L::add(p, p), q2 = L::add(q, q);
    const __m256i g3 = L::add(p, v[1]), g4 = L::add(p, v[2]), g5 = L::add(v[1], v[3]);
    const __m256i g6 = L::add(v[2], v[4]), g7 = L::add(v[3], v[5]), g8 = L::add(v[4], v[6]);
    const __m256i g9 = L::add(v[5], v[7]), g10 = L::add(v[6], v[8]), g11 = L::add(v[7], q);
    const __m256i g12 = L::add(v[8], q);
    // Added and dropped pair sums for W_2 .. W_8.
    const __m256i step[7][2] = {{g8, p2},  {g9, p2}, {g10, g3}, {g11, g4},
                                {g12, g5}, {q2, g6}, {q2, g7}};
    // W_1 = 6 p0 + 2 (s1 + s2 + s3) + s4 + s5, plus 8 for rounding.
    __m256i w = L::add(L::add(g5, v[2]), L::add(p2, p));
    w = L::add(L::add(w, w), L::add(L::add(v[4], v[5]), L::eight()));
    for (int n = 1; n <= 8; ++n) {
        out[n] = L::add(L::add(w, v[n]), v[n]);
        if (n < 8)
            w = L::add(w, L::sub(step[n - 1][0], step[n - 1][1]));
    }
}

KESTROVA_AVX2 inline __m256i load32(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
KESTROVA_AVX2 inline void store32(uint8_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Filters the 32 runs whose sample i is at p + i x stride as deblock_samples
// does (s1..s8 replaced); false when no sample changed. The samples are read
// from memory where needed rather than held, which keeps the 16 vector
// registers for the 16-bit arithmetic.
KESTROVA_AVX2 inline bool filter32(uint8_t* p, ptrdiff_t stride, const Limits& k) {
    const auto at = [p, stride](int i) { return p + i * stride; };
    const __m256i flip = _mm256_set1_epi8(static_cast<char>(0x80));
    const __m256i pair_add = _mm256_set1_epi8(-126), pair_gt = _mm256_set1_epi8(-123);
    // Near pairs (at most 2 apart), counted negatively; differences are
    // taken saturated on samples flipped to signed.
    __m256i count = _mm256_setzero_si256(), x0 = count, x8 = count;
    __m256i prev = _mm256_xor_si256(load32(at(0)), flip);
    for (int i = 0; i < 9; ++i) {
        const __m256i next = _mm256_xor_si256(load32(at(i + 1)), flip);
        const __m256i x = _mm256_subs_epi8(prev, next);
        count = _mm256_add_epi8(count, near(x, pair_add, pair_gt));
        prev = next;
        if (i == 0)
            x0 = x;
        if (i == 8)
            x8 = x;
    }
    const __m256i flat = _mm256_cmpgt_epi8(_mm256_set1_epi8(-5), count); // six or more
    const __m256i ones = _mm256_cmpeq_epi8(count, count);
    bool changed = false;
    // Each mode is only worked out when some lane uses it; lanes of the other
    // mode keep their samples, so the modes do not disturb each other.
    if (!_mm256_testc_si256(flat, ones)) {
        const __m256i rough = _mm256_xor_si256(flat, ones);
        __m256i lo[9], hi[9];
        for (int i = 1; i <= 8; ++i) {
            lo[i] = low16(load32(at(i)));
            hi[i] = high16(load32(at(i)));
        }
        default_half(lo, _mm256_unpacklo_epi8(rough, rough), k.eight_qp);
        default_half(hi, _mm256_unpackhi_epi8(rough, rough), k.eight_qp);
        for (int i = 4; i <= 5; ++i) {
            const __m256i was = load32(at(i)), now = _mm256_packus_epi16(lo[i], hi[i]);
            if (_mm256_testc_si256(_mm256_cmpeq_epi8(was, now), ones))
                continue;
            store32(at(i), now);
            changed = true;
        }
    }
    if (_mm256_testz_si256(flat, flat))
        return changed;

    __m256i mx = load32(at(1)), mn = mx;
    for (int i = 2; i <= 8; ++i) {
        mx = _mm256_max_epu8(mx, load32(at(i)));
        mn = _mm256_min_epu8(mn, load32(at(i)));
    }
    const __m256i spread = _mm256_sub_epi8(mx, mn);
    const __m256i smooth =
        _mm256_and_si256(flat, _mm256_cmpeq_epi8(_mm256_min_epu8(spread, k.span), spread));
    if (_mm256_testz_si256(smooth, smooth))
        return changed;
    const __m256i p0 =
        _mm256_blendv_epi8(load32(at(1)), load32(at(0)), near(x0, k.near_add, k.near_gt));
    const __m256i p9 =
        _mm256_blendv_epi8(load32(at(8)), load32(at(9)), near(x8, k.near_add, k.near_gt));
    __m256i out[9];
    // Runs whose ten samples (padding included) lie within 16 of their
    // smallest have sums below 256: smoothed on bytes, as offsets from it.
    const __m256i base = _mm256_min_epu8(mn, _mm256_min_epu8(p0, p9));
    const __m256i top = _mm256_max_epu8(mx, _mm256_max_epu8(p0, p9));
    const __m256i wide = _mm256_subs_epu8(_mm256_sub_epi8(top, base), _mm256_set1_epi8(15));
    if (_mm256_testz_si256(wide, smooth)) {
        __m256i v[10];
        v[0] = _mm256_sub_epi8(p0, base);
        v[9] = _mm256_sub_epi8(p9, base);
        for (int i = 1; i <= 8; ++i)
            v[i] = _mm256_sub_epi8(load32(at(i)), base);
        smooth_sums<Narrow>(v, out);
        const __m256i nibble = _mm256_set1_epi8(15);
        for (int n = 1; n <= 8; ++n)
            out[n] = _mm256_add_epi8(base, _mm256_and_si256(_mm256_srli_epi16(out[n], 4), nibble));
    } else {
        __m256i v[10], out_lo[9], out_hi[9];
        v[0] = low16(p0);
        v[9] = low16(p9);
        for (int i = 1; i <= 8; ++i)
            v[i] = low16(load32(at(i)));
        smooth_sums<Wide>(v, out_lo);
        v[0] = high16(p0);
        v[9] = high16(p9);
        for (int i = 1; i <= 8; ++i)
            v[i] = high16(load32(at(i)));
        smooth_sums<Wide>(v, out_hi);
        for (int n = 1; n <= 8; ++n)
            out[n] = _mm256_packus_epi16(_mm256_srli_epi16(out_lo[n], 4),
                                         _mm256_srli_epi16(out_hi[n], 4));
    }
    const bool all = _mm256_testc_si256(smooth, ones);
    for (int n = 1; n <= 8; ++n)
        store32(at(n), all ? out[n] : _mm256_blendv_epi8(load32(at(n)), out[n], smooth));
    return true;
}

// One horizontal edge, from `line` five lines above it: columns are
// independent; each edge reads what the one above it wrote, so edges go in
// order.
KESTROVA_AVX2 void horizontal_edge(uint8_t* line, ptrdiff_t stride, int width, const Limits& k) {
    int x = 0;
    for (; x + 32 <= width; x += 32)
        filter32(line + x, stride, k);
    if (x == width)
        return;
    // The last columns through a copy, so no byte past the plane is read.
    alignas(32) uint8_t part[10][32] = {};
    const size_t n = size_t(width - x);
    for (int i = 0; i < 10; ++i)
        std::memcpy(part[i], line + i * stride + x, n);
    filter32(part[0], 32, k);
    for (int i = 1; i <= 8; ++i)
        std::memcpy(line + i * stride + x, part[i], n);
}

// Where the unpack network below leaves column c: bit-reversed order.
constexpr int kColumnSlot[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};

// Two 16 x 16 byte transpositions at once, one per 128-bit half.
KESTROVA_AVX2 inline void transpose16x2(__m256i* r) {
    __m256i a[16], b[16];
    for (int i = 0; i < 8; ++i) {
        a[2 * i] = _mm256_unpacklo_epi8(r[2 * i], r[2 * i + 1]);
        a[2 * i + 1] = _mm256_unpackhi_epi8(r[2 * i], r[2 * i + 1]);
    }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 2; ++j) {
            b[4 * i + j] = _mm256_unpacklo_epi16(a[4 * i + j], a[4 * i + j + 2]);
            b[4 * i + j + 2] = _mm256_unpackhi_epi16(a[4 * i + j], a[4 * i + j + 2]);
        }
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 4; ++j) {
            a[8 * i + j] = _mm256_unpacklo_epi32(b[8 * i + j], b[8 * i + j + 4]);
            a[8 * i + j + 4] = _mm256_unpackhi_epi32(b[8 * i + j], b[8 * i + j + 4]);
        }
    for (int j = 0; j < 8; ++j) {
        b[j] = _mm256_unpacklo_epi64(a[j], a[j + 8]);
        b[j + 8] = _mm256_unpackhi_epi64(a[j], a[j + 8]);
    }
    for (int c = 0; c < 16; ++c)
        r[c] = b[kColumnSlot[c]];
}

// Columns transposed at a time for the vertical edges; wider planes go
// through several overlapping windows.
constexpr int kWindow = 1024;
using Columns = uint8_t[kWindow][32];

// Start of the tile after the one at t, of the 16-column tiles covering
// n >= 16 columns (the last one overlaps its neighbour when n is not a
// multiple of 16); n when done.
inline int next_tile(int t, int n) {
    return t + 16 >= n ? n : std::min(t + 16, n - 16);
}

// Up to 32 lines of the plane; lines past `rows` repeat the last one, so
// that the vector lanes they fill read inside the plane (and are not stored).
template <bool kFull> struct Strip {
    uint8_t* top;
    ptrdiff_t stride;
    int rows;
    uint8_t* line(int i) const { return top + (kFull ? i : std::min(i, rows - 1)) * stride; }
};

// Columns x0 .. x0 + n - 1 of the strip into `cols` (entry c holds column
// x0 + c, line i in byte i).
template <bool kFull>
KESTROVA_AVX2 void columns_in(const Strip<kFull>& strip, int x0, int n, Columns& cols) {
    for (int t = 0; t < n; t = next_tile(t, n)) {
        __m256i r[16];
        for (int i = 0; i < 16; ++i)
            r[i] = _mm256_inserti128_si256(
                _mm256_castsi128_si256(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(strip.line(i) + x0 + t))),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(strip.line(i + 16) + x0 + t)), 1);
        transpose16x2(r);
        for (int c = 0; c < 16; ++c)
            _mm256_store_si256(reinterpret_cast<__m256i*>(cols[t + c]), r[c]);
    }
}

template <bool kFull>
KESTROVA_AVX2 void columns_out(const Columns& cols, const Strip<kFull>& strip, int x0, int n) {
    for (int t = 0; t < n; t = next_tile(t, n)) {
        __m256i r[16];
        for (int c = 0; c < 16; ++c)
            r[c] = _mm256_load_si256(reinterpret_cast<const __m256i*>(cols[t + c]));
        transpose16x2(r);
        for (int i = 0; i < 16; ++i) {
            if (kFull || i < strip.rows)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(strip.line(i) + x0 + t),
                                 _mm256_castsi256_si128(r[i]));
            if (kFull || i + 16 < strip.rows)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(strip.line(i + 16) + x0 + t),
                                 _mm256_extracti128_si256(r[i], 1));
        }
    }
}

// Vertical edges of a strip through transposed columns: lines are
// independent of each other, and each edge reads what the one left of it
// wrote. Needs width >= 16.
template <bool kFull>
KESTROVA_AVX2 void vertical_edges(const Strip<kFull>& strip, int width, const Limits& k,
                                  Columns& cols) {
    for (int edge = 8; edge + 4 < width;) {
        const int x0 = std::min(edge - 5, width - 16);
        const int n = std::min(kWindow, width - x0);
        columns_in(strip, x0, n, cols);
        bool changed = false;
        for (; edge + 4 < x0 + n; edge += 8)
            changed |= filter32(cols[edge - 5 - x0], 32, k);
        if (changed)
            columns_out(cols, strip, x0, n);
    }
}

KESTROVA_AVX2 void deblock_luma_avx2(uint8_t* plane, ptrdiff_t stride, int width, int height,
                                     int qp) {
    if (qp <= 0)
        return; // no run passes either mode's threshold
    if (qp > kMaxVectorQp || width < 16)
        return deblock_luma(plane, stride, width, height, qp);
    const Limits k = limits_for(qp);
    // Strip by strip, so that the lines stay in the cache between the two
    // directions: a strip's vertical edges go once no horizontal edge is
    // left that reads or writes its lines (the one at its bottom line + 1
    // writes up to three lines into it).
    alignas(32) Columns cols;
    int edge = 8; // next horizontal edge
    for (int y0 = 0; y0 < height; y0 += 32) {
        for (; edge <= y0 + 32 && edge + 4 < height; edge += 8)
            horizontal_edge(plane + (edge - 5) * stride, stride, width, k);
        if (height - y0 >= 32)
            vertical_edges(Strip<true>{plane + y0 * stride, stride, 32}, width, k, cols);
        else
            vertical_edges(Strip<false>{plane + y0 * stride, stride, height - y0}, width, k, cols);
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

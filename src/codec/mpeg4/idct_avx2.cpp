#include "codec/mpeg4/idct_simd.h"

#if defined(__x86_64__) || defined(__i386__)

#include "codec/mpeg4/idct.h"

#include <immintrin.h>

#define KESTROVA_AVX2 __attribute__((target("avx2")))

namespace kestrova::mpeg4 {
namespace {

// The transform in 32-bit lanes, one vector per line of eight samples. The
// reference keeps 64-bit sums; 32 bits give the same results as long as no
// intermediate passes 2^31. With L1 = the sum of |coefficient| over the
// block, the largest intermediates are 724 x 710 x L1 (row pass) and
// 724 x 710 x 503 x L1 / 1024 (column pass), both below 2^31 for
// L1 <= kMaxExactL1. Heavier blocks go to the reference.
constexpr int kMaxExactL1 = 4096;

struct Block {
    __m256i v[8];
};

KESTROVA_AVX2 inline __m256i mul(__m256i a, int k) {
    // The empty asm hides the constant: otherwise the compiler rewrites the
    // one multiply into longer shift-and-add chains.
    __m256i kv = _mm256_set1_epi32(k);
    asm("" : "+x"(kv));
    return _mm256_mullo_epi32(a, kv);
}

KESTROVA_AVX2 inline void transpose(Block& b) {
    const __m256i t0 = _mm256_unpacklo_epi32(b.v[0], b.v[1]);
    const __m256i t1 = _mm256_unpackhi_epi32(b.v[0], b.v[1]);
    const __m256i t2 = _mm256_unpacklo_epi32(b.v[2], b.v[3]);
    const __m256i t3 = _mm256_unpackhi_epi32(b.v[2], b.v[3]);
    const __m256i t4 = _mm256_unpacklo_epi32(b.v[4], b.v[5]);
    const __m256i t5 = _mm256_unpackhi_epi32(b.v[4], b.v[5]);
    const __m256i t6 = _mm256_unpacklo_epi32(b.v[6], b.v[7]);
    const __m256i t7 = _mm256_unpackhi_epi32(b.v[6], b.v[7]);
    const __m256i u0 = _mm256_unpacklo_epi64(t0, t2);
    const __m256i u1 = _mm256_unpackhi_epi64(t0, t2);
    const __m256i u2 = _mm256_unpacklo_epi64(t1, t3);
    const __m256i u3 = _mm256_unpackhi_epi64(t1, t3);
    const __m256i u4 = _mm256_unpacklo_epi64(t4, t6);
    const __m256i u5 = _mm256_unpackhi_epi64(t4, t6);
    const __m256i u6 = _mm256_unpacklo_epi64(t5, t7);
    const __m256i u7 = _mm256_unpackhi_epi64(t5, t7);
    b.v[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
    b.v[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
    b.v[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
    b.v[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
    b.v[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
    b.v[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
    b.v[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
    b.v[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

// The products of one pass: t1..t4 (odd part), t, u (even part) and w, v
// (first and fifth input).
struct Products {
    __m256i t1, t2, t3, t4, t, u, w, v;
};

// 32-bit products (the column pass, whose inputs exceed 16 bits).
template <bool Half> KESTROVA_AVX2 inline Products products_mul(const __m256i* in) {
    __m256i x[8];
    for (int i = 0; i < 8; ++i)
        x[i] = Half && i >= 4 ? _mm256_setzero_si256() : in[i];
    return {_mm256_add_epi32(mul(x[7], 100), mul(x[1], 502)),
            _mm256_add_epi32(mul(x[5], 284), mul(x[3], 426)),
            _mm256_sub_epi32(mul(x[5], 426), mul(x[3], 284)),
            _mm256_sub_epi32(mul(x[1], 100), mul(x[7], 502)),
            _mm256_add_epi32(mul(x[2], 473), mul(x[6], 196)),
            _mm256_sub_epi32(mul(x[2], 196), mul(x[6], 473)),
            mul(_mm256_add_epi32(x[0], x[4]), 362),
            mul(_mm256_sub_epi32(x[0], x[4]), 362)};
}
// The row pass's inputs are coefficients of magnitude at most kMaxExactL1,
// so they fit 16 bits: each 32-bit lane carries a pair (a, b) as its low and
// high half, and one multiply-add gives a x k_a + b x k_b exactly.
KESTROVA_AVX2 inline __m256i pair(__m256i low, __m256i high) {
    return _mm256_or_si256(_mm256_and_si256(low, _mm256_set1_epi32(0xffff)),
                           _mm256_slli_epi32(high, 16));
}
KESTROVA_AVX2 inline __m256i madd(__m256i pairs, int k_low, int k_high) {
    const auto k = static_cast<int32_t>((static_cast<uint32_t>(k_high) << 16) |
                                        (static_cast<uint32_t>(k_low) & 0xffff));
    return _mm256_madd_epi16(pairs, _mm256_set1_epi32(k));
}
template <bool Half> KESTROVA_AVX2 inline Products products_madd(const __m256i* x) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i p17 = pair(x[1], Half ? zero : x[7]);
    const __m256i p35 = pair(x[3], Half ? zero : x[5]);
    const __m256i p26 = pair(x[2], Half ? zero : x[6]);
    const __m256i p04 = pair(x[0], Half ? zero : x[4]);
    return {madd(p17, 502, 100), madd(p35, 426, 284),  madd(p35, -284, 426), madd(p17, 100, -502),
            madd(p26, 473, 196), madd(p26, 196, -473), madd(p04, 362, 362),  madd(p04, 362, -362)};
}
// One pass over eight lines at once: b.v[i] holds input i of every line and
// receives output i. Half: inputs 4..7 are known to be zero, which lets the
// compiler drop their products (the sums are the same).
template <bool Column, bool Half> KESTROVA_AVX2 inline void pass(Block& b) {
    const Products p = Column ? products_mul<Half>(b.v) : products_madd<Half>(b.v);
    const __m256i t1 = p.t1, t2 = p.t2, t3 = p.t3, t4 = p.t4;
    const __m256i o0 = _mm256_add_epi32(t1, t2);
    const __m256i o3 = _mm256_add_epi32(t3, t4);
    const __m256i z2 = _mm256_sub_epi32(_mm256_sub_epi32(_mm256_add_epi32(t1, t3), t2), t4);
    const __m256i z1 = _mm256_sub_epi32(_mm256_sub_epi32(_mm256_add_epi32(t1, t4), t3), t2);
    __m256i o2, o1;
    if constexpr (Column) {
        const __m256i r = _mm256_set1_epi32(128);
        o2 = _mm256_add_epi32(mul(_mm256_srai_epi32(z2, 10), 724), r);
        o1 = _mm256_add_epi32(mul(_mm256_srai_epi32(z1, 10), 724), r);
    } else {
        const __m256i r = _mm256_set1_epi32(512);
        o2 = _mm256_srai_epi32(_mm256_add_epi32(mul(z2, 724), r), 10);
        o1 = _mm256_srai_epi32(_mm256_add_epi32(mul(z1, 724), r), 10);
    }
    const __m256i t = p.t, u = p.u, w = p.w, v = p.v;
    const __m256i e0 = _mm256_add_epi32(w, t);
    const __m256i e1 = _mm256_add_epi32(v, u);
    const __m256i e2 = _mm256_sub_epi32(v, u);
    const __m256i e3 = _mm256_sub_epi32(w, t);
    b.v[0] = _mm256_add_epi32(e0, o0);
    b.v[7] = _mm256_sub_epi32(e0, o0);
    b.v[1] = _mm256_add_epi32(e1, o1);
    b.v[6] = _mm256_sub_epi32(e1, o1);
    b.v[2] = _mm256_add_epi32(e2, o2);
    b.v[5] = _mm256_sub_epi32(e2, o2);
    b.v[3] = _mm256_add_epi32(e3, o3);
    b.v[4] = _mm256_sub_epi32(e3, o3);
}

enum class Shape { Zero, DcOnly, Exact, Heavy };

// Which halves of the exact transform's inputs are zero.
struct Sparsity {
    bool left_columns = false; // columns 4..7 are zero
    bool top_rows = false;     // rows 4..7 are zero
};

// Columns: the block is stored column by column, so the loaded vectors are
// already the transposed block.
template <bool Columns>
KESTROVA_AVX2 inline Shape classify(const int32_t* coeffs, Block& b, Sparsity& sp) {
    __m256i sum = _mm256_setzero_si256();
    __m256i peak = _mm256_setzero_si256();
    __m256i top = _mm256_setzero_si256();    // rows 1..3
    __m256i bottom = _mm256_setzero_si256(); // rows 4..7
    for (int r = 0; r < 8; ++r) {
        b.v[r] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(coeffs + 8 * r));
        const __m256i a = _mm256_abs_epi32(b.v[r]);
        sum = _mm256_add_epi32(sum, a);
        peak = _mm256_max_epu32(peak, a); // |INT32_MIN| counts as 2^31
        if (r >= 4)
            bottom = _mm256_or_si256(bottom, b.v[r]);
        else if (r >= 1)
            top = _mm256_or_si256(top, b.v[r]);
    }
    // A single value above the limit already makes the block heavy; below it
    // the eight-row lane sums cannot overflow.
    const __m256i limit = _mm256_set1_epi32(kMaxExactL1);
    const __m256i over =
        _mm256_cmpgt_epi32(_mm256_min_epu32(peak, _mm256_set1_epi32(kMaxExactL1 + 1)), limit);
    if (!_mm256_testz_si256(over, over))
        return Shape::Heavy;
    const __m256i ac = _mm256_or_si256(_mm256_or_si256(top, bottom),
                                       _mm256_blend_epi32(b.v[0], _mm256_setzero_si256(), 1));
    if (_mm256_testz_si256(ac, ac))
        return coeffs[0] == 0 ? Shape::Zero : Shape::DcOnly;
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x4e));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0xb1));
    if (_mm_cvtsi128_si32(s) > kMaxExactL1)
        return Shape::Heavy;
    const __m256i right = _mm256_setr_epi32(0, 0, 0, 0, -1, -1, -1, -1);
    const bool high_lanes_zero = _mm256_testz_si256(_mm256_or_si256(ac, b.v[0]), right) != 0;
    const bool high_vectors_zero = _mm256_testz_si256(bottom, bottom) != 0;
    sp.left_columns = Columns ? high_vectors_zero : high_lanes_zero;
    sp.top_rows = Columns ? high_lanes_zero : high_vectors_zero;
    return Shape::Exact;
}

// Runs both passes; b.v[i] receives row i of the result before the final
// rounding shift, as 16-bit values packed two rows per vector in rows[i/2].
template <bool Columns>
KESTROVA_AVX2 inline void transform(Block& b, const Sparsity& sp, __m256i rows[4]) {
    if constexpr (!Columns)
        transpose(b);
    // After the transpose b.v[i] holds column i: zero columns 4..7 make the
    // row pass's inputs 4..7 zero, and zero rows 4..7 the column pass's.
    if (sp.left_columns)
        pass<false, true>(b);
    else
        pass<false, false>(b);
    transpose(b);
    if (sp.top_rows)
        pass<true, true>(b);
    else
        pass<true, false>(b);
    const __m256i half = _mm256_set1_epi32(1 << 19);
    for (int i = 0; i < 8; ++i)
        b.v[i] = _mm256_srai_epi32(_mm256_add_epi32(b.v[i], half), 20);
    for (int i = 0; i < 4; ++i) {
        // packs interleaves 128-bit halves; the permute restores row order.
        const __m256i p = _mm256_packs_epi32(b.v[2 * i], b.v[2 * i + 1]);
        rows[i] = _mm256_permute4x64_epi64(p, 0xd8);
    }
}

// The DC-only result: rows 0, 3, 4, 7 hold `base`, rows 1, 2 `plus` and
// rows 5, 6 `minus` (see the column shortcut of the reference).
KESTROVA_AVX2 inline void dc_rows(int32_t dc, __m256i rows[4]) {
    const int64_t e = int64_t{362} * 362 * dc + (int64_t{1} << 19);
    const auto base = static_cast<int16_t>(e >> 20);
    const auto plus = static_cast<int16_t>((e + 128) >> 20);
    const auto minus = static_cast<int16_t>((e - 128) >> 20);
    const __m128i b = _mm_set1_epi16(base), p = _mm_set1_epi16(plus), m = _mm_set1_epi16(minus);
    rows[0] = _mm256_set_m128i(p, b);
    rows[1] = _mm256_set_m128i(b, p);
    rows[2] = _mm256_set_m128i(m, b);
    rows[3] = _mm256_set_m128i(b, m);
}

KESTROVA_AVX2 inline void store_rows(__m256i v, uint8_t* dst, ptrdiff_t stride) {
    const __m256i bytes = _mm256_packus_epi16(v, v);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm256_castsi256_si128(bytes));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + stride), _mm256_extracti128_si256(bytes, 1));
}

KESTROVA_AVX2 inline __m256i load_rows(const uint8_t* src, ptrdiff_t stride) {
    const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src));
    const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + stride));
    return _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(a, b));
}

KESTROVA_AVX2 inline void clear(int32_t* coeffs) {
    // Eight plain stores; written as a loop the compiler turns them into a
    // string store with a much higher start-up cost.
    __m256i z = _mm256_setzero_si256();
    asm("" : "+x"(z));
    auto* p = reinterpret_cast<__m256i*>(coeffs);
    _mm256_storeu_si256(p + 0, z);
    _mm256_storeu_si256(p + 1, z);
    _mm256_storeu_si256(p + 2, z);
    _mm256_storeu_si256(p + 3, z);
    _mm256_storeu_si256(p + 4, z);
    _mm256_storeu_si256(p + 5, z);
    _mm256_storeu_si256(p + 6, z);
    _mm256_storeu_si256(p + 7, z);
}

// False for blocks the 32-bit transform cannot take exactly.
template <bool Columns>
KESTROVA_AVX2 inline bool block_rows(const int32_t* coeffs, __m256i rows[4], bool& zero) {
    Block b;
    Sparsity sp;
    zero = false;
    switch (classify<Columns>(coeffs, b, sp)) {
    case Shape::Zero:
        zero = true;
        dc_rows(0, rows);
        return true;
    case Shape::DcOnly:
        dc_rows(coeffs[0], rows);
        return true;
    case Shape::Exact:
        transform<Columns>(b, sp, rows);
        return true;
    case Shape::Heavy:
        break;
    }
    return false;
}

KESTROVA_AVX2 void idct_put_avx2(int32_t* coeffs, uint8_t* dst, ptrdiff_t stride) {
    __m256i rows[4];
    bool zero;
    if (!block_rows<false>(coeffs, rows, zero)) {
        idct_put_ref(coeffs, dst, stride);
        return;
    }
    for (int i = 0; i < 4; ++i)
        store_rows(rows[i], dst + 2 * i * stride, stride);
    if (!zero)
        clear(coeffs);
}

template <bool Columns>
KESTROVA_AVX2 void idct_add_avx2(int32_t* coeffs, uint8_t* dst, ptrdiff_t stride) {
    __m256i rows[4];
    bool zero;
    if (!block_rows<Columns>(coeffs, rows, zero)) {
        if constexpr (Columns)
            idct_add_columns_ref(coeffs, dst, stride);
        else
            idct_add_ref(coeffs, dst, stride);
        return;
    }
    if (zero)
        return;
    for (int i = 0; i < 4; ++i) {
        uint8_t* d = dst + 2 * i * stride;
        store_rows(_mm256_adds_epi16(load_rows(d, stride), rows[i]), d, stride);
    }
    clear(coeffs);
}

} // namespace

IdctKernels idct_kernels_avx2() {
    return {&idct_put_avx2, &idct_add_avx2<false>, &idct_add_avx2<true>};
}

} // namespace kestrova::mpeg4

#endif

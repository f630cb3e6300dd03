#include "codec/mpeg4/deblock_simd.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

// GCC 12 takes the undefined pass-through operand inside its own unpack and
// extract intrinsics for an uninitialised read.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#define KESTROVA_VEC __attribute__((target("avx512f,avx512bw,gfni")))

namespace kestrova::mpeg4 {
namespace {

// Sixty-four lanes; masks are mask registers, one bit per byte (or 16-bit)
// lane.
struct Avx512 {
    using Vec = __m512i;
    using Mask = __mmask64;
    using Mask16 = __mmask32;
    static constexpr int kLanes = 64;

    KESTROVA_VEC static Vec load(const uint8_t* p) { return _mm512_loadu_si512(p); }
    KESTROVA_VEC static void store(uint8_t* p, Vec v) { _mm512_storeu_si512(p, v); }
    template <class F> KESTROVA_VEC static Vec load_lines(F line) {
        const auto piece = [&](int j) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(line(j)));
        };
        Vec v = _mm512_castsi128_si512(piece(0));
        v = _mm512_inserti32x4(v, piece(1), 1);
        v = _mm512_inserti32x4(v, piece(2), 2);
        return _mm512_inserti32x4(v, piece(3), 3);
    }
    template <class F> KESTROVA_VEC static void store_lines(Vec v, int pieces, F line) {
        if (pieces > 0)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(line(0)), _mm512_castsi512_si128(v));
        if (pieces > 1)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(line(1)), _mm512_extracti32x4_epi32(v, 1));
        if (pieces > 2)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(line(2)), _mm512_extracti32x4_epi32(v, 2));
        if (pieces > 3)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(line(3)), _mm512_extracti32x4_epi32(v, 3));
    }

    // Exchanges 128-bit part j of r[p] with part p of r[j].
    KESTROVA_VEC static void transpose_parts(Vec* r) {
        const Vec t0 = _mm512_shuffle_i64x2(r[0], r[1], _MM_SHUFFLE(1, 0, 1, 0));
        const Vec t1 = _mm512_shuffle_i64x2(r[0], r[1], _MM_SHUFFLE(3, 2, 3, 2));
        const Vec t2 = _mm512_shuffle_i64x2(r[2], r[3], _MM_SHUFFLE(1, 0, 1, 0));
        const Vec t3 = _mm512_shuffle_i64x2(r[2], r[3], _MM_SHUFFLE(3, 2, 3, 2));
        r[0] = _mm512_shuffle_i64x2(t0, t2, _MM_SHUFFLE(2, 0, 2, 0));
        r[1] = _mm512_shuffle_i64x2(t0, t2, _MM_SHUFFLE(3, 1, 3, 1));
        r[2] = _mm512_shuffle_i64x2(t1, t3, _MM_SHUFFLE(2, 0, 2, 0));
        r[3] = _mm512_shuffle_i64x2(t1, t3, _MM_SHUFFLE(3, 1, 3, 1));
    }

    // Half lines inserted as they are loaded leave one exchange of 128-bit
    // parts instead of two.
    template <class F> KESTROVA_VEC static void load_parts(F line, Vec* r) {
        for (int half = 0; half < 2; ++half) {
            Vec pair[2];
            for (int k = 0; k < 2; ++k) {
                const __m256i* a = reinterpret_cast<const __m256i*>(line(2 * k) + 32 * half);
                const __m256i* b = reinterpret_cast<const __m256i*>(line(2 * k + 1) + 32 * half);
                pair[k] = _mm512_inserti64x4(_mm512_castsi256_si512(_mm256_loadu_si256(a)),
                                             _mm256_loadu_si256(b), 1);
            }
            r[2 * half] = _mm512_shuffle_i64x2(pair[0], pair[1], _MM_SHUFFLE(2, 0, 2, 0));
            r[2 * half + 1] = _mm512_shuffle_i64x2(pair[0], pair[1], _MM_SHUFFLE(3, 1, 3, 1));
        }
    }

    KESTROVA_VEC static Vec zero() { return _mm512_setzero_si512(); }
    KESTROVA_VEC static Vec set8(int c) { return _mm512_set1_epi8(static_cast<char>(c)); }
    KESTROVA_VEC static Vec set16(int c) { return _mm512_set1_epi16(static_cast<short>(c)); }
    KESTROVA_VEC static Vec and_(Vec a, Vec b) { return _mm512_and_si512(a, b); }
    KESTROVA_VEC static Vec or_(Vec a, Vec b) { return _mm512_or_si512(a, b); }
    KESTROVA_VEC static Vec xor_(Vec a, Vec b) { return _mm512_xor_si512(a, b); }

    KESTROVA_VEC static Vec add8(Vec a, Vec b) { return _mm512_add_epi8(a, b); }
    KESTROVA_VEC static Vec sub8(Vec a, Vec b) { return _mm512_sub_epi8(a, b); }
    KESTROVA_VEC static Vec subs_i8(Vec a, Vec b) { return _mm512_subs_epi8(a, b); }
    KESTROVA_VEC static Vec subs_u8(Vec a, Vec b) { return _mm512_subs_epu8(a, b); }
    KESTROVA_VEC static Vec min_i8(Vec a, Vec b) { return _mm512_min_epi8(a, b); }
    KESTROVA_VEC static Vec max_i8(Vec a, Vec b) { return _mm512_max_epi8(a, b); }
    KESTROVA_VEC static Vec min_u8(Vec a, Vec b) { return _mm512_min_epu8(a, b); }
    KESTROVA_VEC static Vec max_u8(Vec a, Vec b) { return _mm512_max_epu8(a, b); }
    KESTROVA_VEC static Mask gt_i8(Vec a, Vec b) { return _mm512_cmpgt_epi8_mask(a, b); }
    KESTROVA_VEC static Mask le_u8(Vec a, Vec b) { return _mm512_cmple_epu8_mask(a, b); }

    // One affine step over GF(2) per byte each: byte 7 - i of the matrix
    // selects the source bits of result bit i (bit i + 4, or bit i - 4).
    KESTROVA_VEC static Vec high_nibble(Vec a) {
        return _mm512_gf2p8affine_epi64_epi8(a, _mm512_set1_epi64(0x1020408000000000), 0);
    }
    KESTROVA_VEC static Vec low_nibble_up(Vec a) {
        return _mm512_gf2p8affine_epi64_epi8(a, _mm512_set1_epi64(0x0000000001020408), 0);
    }

    KESTROVA_VEC static Vec add16(Vec a, Vec b) { return _mm512_add_epi16(a, b); }
    KESTROVA_VEC static Vec sub16(Vec a, Vec b) { return _mm512_sub_epi16(a, b); }
    KESTROVA_VEC static Vec abs16(Vec a) { return _mm512_abs_epi16(a); }
    KESTROVA_VEC static Vec min16(Vec a, Vec b) { return _mm512_min_epi16(a, b); }
    KESTROVA_VEC static Vec maddubs(Vec a, Vec b) { return _mm512_maddubs_epi16(a, b); }
    // -a where b < 0, else a (a's own sign where b = 0, unlike the AVX2
    // version; every caller drops those lanes).
    KESTROVA_VEC static Vec sign16(Vec a, Vec b) {
        return _mm512_mask_sub_epi16(a, _mm512_movepi16_mask(b), _mm512_setzero_si512(), a);
    }
    template <int n> KESTROVA_VEC static Vec slli16(Vec a) { return _mm512_slli_epi16(a, n); }
    template <int n> KESTROVA_VEC static Vec srli16(Vec a) { return _mm512_srli_epi16(a, n); }
    template <int n> KESTROVA_VEC static Vec srai16(Vec a) { return _mm512_srai_epi16(a, n); }
    KESTROVA_VEC static Mask16 gt16(Vec a, Vec b) { return _mm512_cmpgt_epi16_mask(a, b); }
    KESTROVA_VEC static Mask16 and16(Mask16 a, Mask16 b) { return a & b; }
    KESTROVA_VEC static Vec keep16(Vec a, Mask16 m) { return _mm512_maskz_mov_epi16(m, a); }
    KESTROVA_VEC static Vec packs16(Vec a, Vec b) { return _mm512_packs_epi16(a, b); }
    KESTROVA_VEC static Vec packus16(Vec a, Vec b) { return _mm512_packus_epi16(a, b); }

    KESTROVA_VEC static Vec unpacklo8(Vec a, Vec b) { return _mm512_unpacklo_epi8(a, b); }
    KESTROVA_VEC static Vec unpackhi8(Vec a, Vec b) { return _mm512_unpackhi_epi8(a, b); }
    KESTROVA_VEC static Vec unpacklo16(Vec a, Vec b) { return _mm512_unpacklo_epi16(a, b); }
    KESTROVA_VEC static Vec unpackhi16(Vec a, Vec b) { return _mm512_unpackhi_epi16(a, b); }
    KESTROVA_VEC static Vec unpacklo32(Vec a, Vec b) { return _mm512_unpacklo_epi32(a, b); }
    KESTROVA_VEC static Vec unpackhi32(Vec a, Vec b) { return _mm512_unpackhi_epi32(a, b); }
    KESTROVA_VEC static Vec unpacklo64(Vec a, Vec b) { return _mm512_unpacklo_epi64(a, b); }
    KESTROVA_VEC static Vec unpackhi64(Vec a, Vec b) { return _mm512_unpackhi_epi64(a, b); }

    // Counts the lanes of m down by one.
    KESTROVA_VEC static Vec count_down(Vec count, Mask m) {
        return _mm512_mask_sub_epi8(count, m, count, _mm512_set1_epi8(1));
    }
    KESTROVA_VEC static Mask mask_and(Mask a, Mask b) { return a & b; }
    KESTROVA_VEC static bool all(Mask m) { return m == ~Mask(0); }
    KESTROVA_VEC static bool none(Mask m) { return m == 0; }
    KESTROVA_VEC static bool any_nonzero(Vec v) { return _mm512_test_epi8_mask(v, v) != 0; }
    // Some lane of m where v is not 0.
    KESTROVA_VEC static bool any_nonzero_in(Vec v, Mask m) {
        return _mm512_mask_test_epi8_mask(m, v, v) != 0;
    }
    KESTROVA_VEC static Vec select(Mask m, Vec yes, Vec no) {
        return _mm512_mask_blend_epi8(m, no, yes);
    }
    // v, with 0 in the lanes of m.
    KESTROVA_VEC static Vec drop(Vec v, Mask m) { return _mm512_maskz_mov_epi8(~m, v); }
};

} // namespace
} // namespace kestrova::mpeg4

#include "codec/mpeg4/deblock_vector.h"

namespace kestrova::mpeg4 {

DeblockFn deblock_luma_avx512_kernel() {
    return &deblock_luma_vector<Avx512>;
}

} // namespace kestrova::mpeg4

#else

namespace kestrova::mpeg4 {
DeblockFn deblock_luma_avx512_kernel() {
    return nullptr;
}
} // namespace kestrova::mpeg4

#endif

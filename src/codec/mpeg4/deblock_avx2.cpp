#include "codec/mpeg4/deblock_simd.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#define KESTROVA_VEC __attribute__((target("avx2")))

namespace kestrova::mpeg4 {
namespace {

// Thirty-two lanes; masks are vectors of 0 / -1 bytes (or 16-bit lanes).
struct Avx2 {
    using Vec = __m256i;
    using Mask = __m256i;
    using Mask16 = __m256i;
    static constexpr int kLanes = 32;

    KESTROVA_VEC static Vec load(const uint8_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    KESTROVA_VEC static void store(uint8_t* p, Vec v) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    }
    template <class F> KESTROVA_VEC static Vec load_lines(F line) {
        return _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line(0)))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(line(1))), 1);
    }
    template <class F> KESTROVA_VEC static void store_lines(Vec v, int pieces, F line) {
        if (pieces > 0)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(line(0)), _mm256_castsi256_si128(v));
        if (pieces > 1)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(line(1)), _mm256_extracti128_si256(v, 1));
    }

    // Exchanges the high half of r[0] with the low half of r[1].
    KESTROVA_VEC static void transpose_parts(Vec* r) {
        const Vec a = r[0], b = r[1];
        r[0] = _mm256_permute2x128_si256(a, b, 0x20);
        r[1] = _mm256_permute2x128_si256(a, b, 0x31);
    }

    template <class F> KESTROVA_VEC static void load_parts(F line, Vec* r) {
        r[0] = load(line(0));
        r[1] = load(line(1));
        transpose_parts(r);
    }

    KESTROVA_VEC static Vec zero() { return _mm256_setzero_si256(); }
    KESTROVA_VEC static Vec set8(int c) { return _mm256_set1_epi8(static_cast<char>(c)); }
    KESTROVA_VEC static Vec set16(int c) { return _mm256_set1_epi16(static_cast<short>(c)); }
    KESTROVA_VEC static Vec and_(Vec a, Vec b) { return _mm256_and_si256(a, b); }
    KESTROVA_VEC static Vec or_(Vec a, Vec b) { return _mm256_or_si256(a, b); }
    KESTROVA_VEC static Vec xor_(Vec a, Vec b) { return _mm256_xor_si256(a, b); }

    KESTROVA_VEC static Vec add8(Vec a, Vec b) { return _mm256_add_epi8(a, b); }
    KESTROVA_VEC static Vec sub8(Vec a, Vec b) { return _mm256_sub_epi8(a, b); }
    KESTROVA_VEC static Vec subs_i8(Vec a, Vec b) { return _mm256_subs_epi8(a, b); }
    KESTROVA_VEC static Vec subs_u8(Vec a, Vec b) { return _mm256_subs_epu8(a, b); }
    KESTROVA_VEC static Vec min_i8(Vec a, Vec b) { return _mm256_min_epi8(a, b); }
    KESTROVA_VEC static Vec max_i8(Vec a, Vec b) { return _mm256_max_epi8(a, b); }
    KESTROVA_VEC static Vec min_u8(Vec a, Vec b) { return _mm256_min_epu8(a, b); }
    KESTROVA_VEC static Vec max_u8(Vec a, Vec b) { return _mm256_max_epu8(a, b); }
    KESTROVA_VEC static Mask gt_i8(Vec a, Vec b) { return _mm256_cmpgt_epi8(a, b); }
    KESTROVA_VEC static Mask le_u8(Vec a, Vec b) {
        return _mm256_cmpeq_epi8(_mm256_min_epu8(a, b), a);
    }

    KESTROVA_VEC static Vec high_nibble(Vec a) {
        return _mm256_and_si256(_mm256_srli_epi16(a, 4), _mm256_set1_epi8(15));
    }

    KESTROVA_VEC static Vec low_nibble_up(Vec a) {
        return _mm256_and_si256(_mm256_slli_epi16(a, 4), _mm256_set1_epi8(static_cast<char>(0xf0)));
    }

    KESTROVA_VEC static Vec add16(Vec a, Vec b) { return _mm256_add_epi16(a, b); }
    KESTROVA_VEC static Vec sub16(Vec a, Vec b) { return _mm256_sub_epi16(a, b); }
    KESTROVA_VEC static Vec abs16(Vec a) { return _mm256_abs_epi16(a); }
    KESTROVA_VEC static Vec min16(Vec a, Vec b) { return _mm256_min_epi16(a, b); }
    KESTROVA_VEC static Vec maddubs(Vec a, Vec b) { return _mm256_maddubs_epi16(a, b); }
    KESTROVA_VEC static Vec sign16(Vec a, Vec b) { return _mm256_sign_epi16(a, b); }
    template <int n> KESTROVA_VEC static Vec slli16(Vec a) { return _mm256_slli_epi16(a, n); }
    template <int n> KESTROVA_VEC static Vec srli16(Vec a) { return _mm256_srli_epi16(a, n); }
    template <int n> KESTROVA_VEC static Vec srai16(Vec a) { return _mm256_srai_epi16(a, n); }
    KESTROVA_VEC static Mask16 gt16(Vec a, Vec b) { return _mm256_cmpgt_epi16(a, b); }
    KESTROVA_VEC static Mask16 and16(Mask16 a, Mask16 b) { return _mm256_and_si256(a, b); }
    KESTROVA_VEC static Vec keep16(Vec a, Mask16 m) { return _mm256_and_si256(a, m); }
    KESTROVA_VEC static Vec packs16(Vec a, Vec b) { return _mm256_packs_epi16(a, b); }
    KESTROVA_VEC static Vec packus16(Vec a, Vec b) { return _mm256_packus_epi16(a, b); }

    KESTROVA_VEC static Vec unpacklo8(Vec a, Vec b) { return _mm256_unpacklo_epi8(a, b); }
    KESTROVA_VEC static Vec unpackhi8(Vec a, Vec b) { return _mm256_unpackhi_epi8(a, b); }
    KESTROVA_VEC static Vec unpacklo16(Vec a, Vec b) { return _mm256_unpacklo_epi16(a, b); }
    KESTROVA_VEC static Vec unpackhi16(Vec a, Vec b) { return _mm256_unpackhi_epi16(a, b); }
    KESTROVA_VEC static Vec unpacklo32(Vec a, Vec b) { return _mm256_unpacklo_epi32(a, b); }
    KESTROVA_VEC static Vec unpackhi32(Vec a, Vec b) { return _mm256_unpackhi_epi32(a, b); }
    KESTROVA_VEC static Vec unpacklo64(Vec a, Vec b) { return _mm256_unpacklo_epi64(a, b); }
    KESTROVA_VEC static Vec unpackhi64(Vec a, Vec b) { return _mm256_unpackhi_epi64(a, b); }

    // Counts the lanes of m down by one.
    KESTROVA_VEC static Vec count_down(Vec count, Mask m) { return _mm256_add_epi8(count, m); }
    KESTROVA_VEC static Mask mask_and(Mask a, Mask b) { return _mm256_and_si256(a, b); }
    KESTROVA_VEC static bool all(Mask m) { return _mm256_testc_si256(m, _mm256_cmpeq_epi8(m, m)); }
    KESTROVA_VEC static bool none(Mask m) { return _mm256_testz_si256(m, m); }
    KESTROVA_VEC static bool any_nonzero(Vec v) { return !_mm256_testz_si256(v, v); }
    // Some lane of m where v is not 0.
    KESTROVA_VEC static bool any_nonzero_in(Vec v, Mask m) { return !_mm256_testz_si256(v, m); }
    KESTROVA_VEC static Vec select(Mask m, Vec yes, Vec no) {
        return _mm256_blendv_epi8(no, yes, m);
    }
    // v, with 0 in the lanes of m.
    KESTROVA_VEC static Vec drop(Vec v, Mask m) { return _mm256_andnot_si256(m, v); }
};

} // namespace
} // namespace kestrova::mpeg4

#include "codec/mpeg4/deblock_vector.h"

namespace kestrova::mpeg4 {

DeblockFn deblock_luma_avx2_kernel() {
    return &deblock_luma_vector<Avx2>;
}

} // namespace kestrova::mpeg4

#else

namespace kestrova::mpeg4 {
DeblockFn deblock_luma_avx2_kernel() {
    return nullptr;
}
} // namespace kestrova::mpeg4

#endif

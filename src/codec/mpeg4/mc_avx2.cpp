#include "codec/mpeg4/mc_simd.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#define KESTROVA_AVX2 __attribute__((target("avx2")))

namespace kestrova::mpeg4 {
namespace {

// Set once at start-up; every other case goes there.
const McBlockFn narrow_kernel = mc_block_sse2();

// a[x] + a[x + 1] for the sixteen samples of a line, in 16-bit lanes.
KESTROVA_AVX2 inline __m256i pair_sums(const uint8_t* p) {
    const __m256i a = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    const __m256i b =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1)));
    return _mm256_add_epi16(a, b);
}

// The 16 x 16 prediction at both half positions, a line of sixteen sums per
// vector; every other case goes to the SSE2 kernel.
KESTROVA_AVX2 void predict_avx2(uint8_t* dst, ptrdiff_t dst_stride, const uint8_t* src,
                                ptrdiff_t src_stride, int size, int hx, int hy, int rounding) {
    if (size != 16 || !hx || !hy)
        return narrow_kernel(dst, dst_stride, src, src_stride, size, hx, hy, rounding);
    const __m256i bias = _mm256_set1_epi16(static_cast<short>(2 - (rounding & 1)));
    __m256i top = pair_sums(src);
    for (int y = 0; y < 16; ++y, dst += dst_stride) {
        src += src_stride;
        const __m256i bottom = pair_sums(src);
        const __m256i sum =
            _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(top, bottom), bias), 2);
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(sum, sum), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm256_castsi256_si128(packed));
        top = bottom;
    }
}

} // namespace

McBlockFn mc_block_avx2() {
    return narrow_kernel ? &predict_avx2 : nullptr;
}

} // namespace kestrova::mpeg4

#else

namespace kestrova::mpeg4 {
McBlockFn mc_block_avx2() {
    return nullptr;
}
} // namespace kestrova::mpeg4

#endif

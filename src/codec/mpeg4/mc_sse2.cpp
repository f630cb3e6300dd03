#include "codec/mpeg4/mc_simd.h"

#if defined(__SSE2__)

#include "codec/mpeg4/motion_comp.h"

#include <emmintrin.h>

namespace kestrova::mpeg4 {
namespace {

// Rows of 8 (low half of a vector) or 16 samples.
template <int Size> inline __m128i load(const uint8_t* p) {
    if constexpr (Size == 16)
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    else
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

template <int Size> inline void store(uint8_t* p, __m128i v) {
    if constexpr (Size == 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
    else
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
}

// (a + b + 1 - r) >> 1: the byte average rounds up; rounding 1 takes the
// odd-sum carry back off.
inline __m128i average2(__m128i a, __m128i b, __m128i round_down) {
    const __m128i up = _mm_avg_epu8(a, b);
    return _mm_sub_epi8(up, _mm_and_si128(_mm_xor_si128(a, b), round_down));
}

// Horizontal pair sums a[x] + a[x + 1] of one line in 16-bit lanes (low and
// high eight samples). Each line's sums serve two output lines.
struct PairSums {
    __m128i lo, hi;
};

template <int Size> inline PairSums pair_sums(const uint8_t* p) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i a = load<Size>(p), b = load<Size>(p + 1);
    PairSums s;
    s.lo = _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
    s.hi =
        Size == 16 ? _mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero)) : zero;
    return s;
}

// (a + b + c + d + 2 - r) >> 2 from the pair sums of two lines.
inline __m128i average4(const PairSums& top, const PairSums& bottom, __m128i bias) {
    const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(top.lo, bottom.lo), bias), 2);
    const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(top.hi, bottom.hi), bias), 2);
    return _mm_packus_epi16(lo, hi);
}

template <int Size>
void predict(uint8_t* dst, ptrdiff_t ds, const uint8_t* src, ptrdiff_t ss, int hx, int hy,
             int rounding) {
    const __m128i round_down = _mm_set1_epi8(static_cast<char>(rounding));
    if (!hx && !hy) {
        for (int y = 0; y < Size; ++y, dst += ds, src += ss)
            store<Size>(dst, load<Size>(src));
    } else if (hx && !hy) {
        for (int y = 0; y < Size; ++y, dst += ds, src += ss)
            store<Size>(dst, average2(load<Size>(src), load<Size>(src + 1), round_down));
    } else if (!hx) {
        __m128i a = load<Size>(src);
        for (int y = 0; y < Size; ++y, dst += ds) {
            src += ss;
            const __m128i c = load<Size>(src);
            store<Size>(dst, average2(a, c, round_down));
            a = c;
        }
    } else {
        const __m128i bias = _mm_set1_epi16(static_cast<short>(2 - rounding));
        PairSums top = pair_sums<Size>(src);
        for (int y = 0; y < Size; ++y, dst += ds) {
            src += ss;
            const PairSums bottom = pair_sums<Size>(src);
            store<Size>(dst, average4(top, bottom, bias));
            top = bottom;
        }
    }
}

void mc_block_vec(uint8_t* dst, ptrdiff_t dst_stride, const uint8_t* src, ptrdiff_t src_stride,
                  int size, int hx, int hy, int rounding) {
    if (size == 16)
        predict<16>(dst, dst_stride, src, src_stride, hx, hy, rounding & 1);
    else if (size == 8)
        predict<8>(dst, dst_stride, src, src_stride, hx, hy, rounding & 1);
    else
        mc_block_ref(dst, dst_stride, src, src_stride, size, hx, hy, rounding);
}

} // namespace

McBlockFn mc_block_sse2() {
    return &mc_block_vec;
}

} // namespace kestrova::mpeg4

#else

namespace kestrova::mpeg4 {
McBlockFn mc_block_sse2() {
    return nullptr;
}
} // namespace kestrova::mpeg4

#endif

#include "codec/yuv/bgr_widen.h"

#include <cstddef>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KESTROVA_X86 1
// GCC 12's AVX-512 byte permute passes a deliberately undefined vector as the unused
// merge source, which its own flow analysis then reports.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#endif

namespace kestrova::yuv {
namespace {

uint32_t xrgb(const uint8_t* bgr) {
    return 0xFF000000u | (uint32_t{bgr[2]} << 16) | (uint32_t{bgr[1]} << 8) | bgr[0];
}

#ifdef KESTROVA_X86
// Sixteen pixels (48 bytes) at a time: each group of four 3-byte pixels is spread over
// 16 bytes by one byte shuffle and made opaque.
__attribute__((target("ssse3"))) void widenSsse3(const uint8_t* s, int width, uint32_t* d) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int x = 0;
    for (; x + 16 <= width; x += 16, s += 48, d += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32));
        const __m128i p0 = a;                         // bytes 0..15
        const __m128i p1 = _mm_alignr_epi8(b, a, 12); // bytes 12..27
        const __m128i p2 = _mm_alignr_epi8(c, b, 8);  // bytes 24..39
        const __m128i p3 = _mm_srli_si128(c, 4);      // bytes 36..47
        auto* out = reinterpret_cast<__m128i*>(d);
        _mm_storeu_si128(out, _mm_or_si128(_mm_shuffle_epi8(p0, spread), opaque));
        _mm_storeu_si128(out + 1, _mm_or_si128(_mm_shuffle_epi8(p1, spread), opaque));
        _mm_storeu_si128(out + 2, _mm_or_si128(_mm_shuffle_epi8(p2, spread), opaque));
        _mm_storeu_si128(out + 3, _mm_or_si128(_mm_shuffle_epi8(p3, spread), opaque));
    }
    widenBgrRowPlain(s, width - x, d);
}

// Sixteen pixels per step with one byte permute across the register: the masked load
// reads exactly the 48 bytes they occupy.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void widenAvx512(const uint8_t* s, int width,
                                                                        uint32_t* d) {
    alignas(64) static constexpr uint8_t kSpread[64] = {
        0,  1,  2,  0,  3,  4,  5,  0,  6,  7,  8,  0,  9,  10, 11, 0,  12, 13, 14, 0,  15, 16,
        17, 0,  18, 19, 20, 0,  21, 22, 23, 0,  24, 25, 26, 0,  27, 28, 29, 0,  30, 31, 32, 0,
        33, 34, 35, 0,  36, 37, 38, 0,  39, 40, 41, 0,  42, 43, 44, 0,  45, 46, 47, 0};
    const __m512i spread = _mm512_load_si512(kSpread);
    const __m512i opaque = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
    const __mmask64 bytes48 = (__mmask64{1} << 48) - 1;
    int x = 0;
    for (; x + 16 <= width; x += 16, s += 48, d += 16) {
        const __m512i in = _mm512_maskz_loadu_epi8(bytes48, s);
        _mm512_storeu_si512(d, _mm512_or_si512(_mm512_permutexvar_epi8(spread, in), opaque));
    }
    widenBgrRowPlain(s, width - x, d);
}
#endif

std::vector<WidenKernel> detectKernels() {
    std::vector<WidenKernel> kernels{{"plain", &widenBgrRowPlain}};
#ifdef KESTROVA_X86
    __builtin_cpu_init();
    if (__builtin_cpu_supports("ssse3"))
        kernels.push_back({"ssse3", &widenSsse3});
    if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi"))
        kernels.push_back({"avx512vbmi", &widenAvx512});
#endif
    return kernels;
}

} // namespace

// Four pixels at a time from three little-endian words: B0G0R0B1 G1R1B2G2 R2B3G3R3.
void widenBgrRowPlain(const uint8_t* s, int width, uint32_t* d) {
    int x = 0;
    for (; x + 4 <= width; x += 4, s += 12, d += 4) {
        uint32_t a, b, c;
        std::memcpy(&a, s, 4);
        std::memcpy(&b, s + 4, 4);
        std::memcpy(&c, s + 8, 4);
        d[0] = 0xFF000000u | (a & 0xFFFFFFu);
        d[1] = 0xFF000000u | (a >> 24) | ((b & 0xFFFFu) << 8);
        d[2] = 0xFF000000u | (b >> 16) | ((c & 0xFFu) << 16);
        d[3] = 0xFF000000u | (c >> 8);
    }
    for (; x < width; ++x, s += 3)
        *d++ = xrgb(s);
}

std::span<const WidenKernel> widenKernels() {
    static const std::vector<WidenKernel> kernels = detectKernels();
    return kernels;
}

void widenBgrRow(const uint8_t* bgr, int width, uint32_t* out) {
    static const auto widen = widenKernels().back().widen;
    widen(bgr, width, out);
}

void widenBgrRowReversed(const uint8_t* bgr, int width, uint32_t* out) {
    const uint8_t* s = bgr + static_cast<std::size_t>(width - 1) * 3;
    for (int x = 0; x < width; ++x, s -= 3)
        *out++ = xrgb(s);
}

} // namespace kestrova::yuv

#include "viewer/picture_transform.h"

#include <cstring>
#include <immintrin.h>

namespace kestrova::viewer {

namespace {

void ReverseRow(const uint8_t* src, int width, uint8_t* dst) {
    const uint8_t* s = src + static_cast<std::size_t>(width - 1) * 3;
    for (int x = 0; x < width; ++x, s -= 3, dst += 3) {
        dst[0] = s[0];
        dst[1] = s[1];
        dst[2] = s[2];
    }
}

uint32_t Xrgb(const uint8_t* bgr) {
    return 0xFF000000u | (uint32_t{bgr[2]} << 16) | (uint32_t{bgr[1]} << 8) | bgr[0];
}

// Four pixels at a time from three little-endian words: B0G0R0B1 G1R1B2G2 R2B3G3R3.
void WidenRowPlain(const uint8_t* s, int width, uint32_t* d) {
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
        *d++ = Xrgb(s);
}

// Sixteen pixels (48 bytes) at a time: each group of four 3-byte pixels is spread over
// 16 bytes by one byte shuffle and made opaque.
__attribute__((target("ssse3"))) void WidenRowSsse3(const uint8_t* s, int width, uint32_t* d) {
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
    WidenRowPlain(s, width - x, d);
}

void WidenRow(const uint8_t* s, int width, uint32_t* d) {
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3)
        WidenRowSsse3(s, width, d);
    else
        WidenRowPlain(s, width, d);
}

void WidenRowReversed(const uint8_t* src, int width, uint32_t* d) {
    const uint8_t* s = src + static_cast<std::size_t>(width - 1) * 3;
    for (int x = 0; x < width; ++x, s -= 3)
        *d++ = Xrgb(s);
}

} // namespace

void TransformToTopDown(const uint8_t* src, int srcStride, int width, int height, int mirrorMode,
                        uint8_t* dst, int dstStride) {
    if (width <= 0 || height <= 0)
        return;
    const bool flip = (mirrorMode & 1) != 0;
    const bool mirror = (mirrorMode & 2) != 0;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    for (int r = 0; r < height; ++r) {
        // Top-down row r of the plain picture is stored bottom-up as row height-1-r; the
        // flip takes the row from the other end.
        const int srcRow = flip ? r : height - 1 - r;
        const uint8_t* s = src + static_cast<std::ptrdiff_t>(srcRow) * srcStride;
        uint8_t* d = dst + static_cast<std::ptrdiff_t>(r) * dstStride;
        if (mirror)
            ReverseRow(s, width, d);
        else
            std::memcpy(d, s, rowBytes);
    }
}

void TransformToTopDownXrgb(const uint8_t* src, int srcStride, int width, int height,
                            int mirrorMode, uint8_t* dst, int dstStride) {
    if (width <= 0 || height <= 0)
        return;
    const bool flip = (mirrorMode & 1) != 0;
    const bool mirror = (mirrorMode & 2) != 0;
    for (int r = 0; r < height; ++r) {
        const int srcRow = flip ? r : height - 1 - r;
        const uint8_t* s = src + static_cast<std::ptrdiff_t>(srcRow) * srcStride;
        auto* d = reinterpret_cast<uint32_t*>(dst + static_cast<std::ptrdiff_t>(r) * dstStride);
        if (mirror)
            WidenRowReversed(s, width, d);
        else
            WidenRow(s, width, d);
    }
}

} // namespace kestrova::viewer

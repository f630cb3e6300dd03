#include "codec/yuv/yuv_kernel.h"
#include "codec/yuv/yuv_simd_constants.h"

#include <immintrin.h>

#define KESTROVA_TARGET __attribute__((target("avx2")))

namespace kestrova::yuv {
namespace {

using namespace simd;

// Every colour index is floor((76309 * (y - 16) + chroma) / 65536). With the
// luma offset folded into the chroma term, C = chroma - 76309 * 16, split as
// C = high * 65536 + low (low in 0 .. 65535), and 10773 * y = hi * 65536 + lo:
//   index = y + hi + high + carry(lo + low)
// which 16-bit lanes compute exactly: lo and hi are one low and one high
// multiply of the sample, shared by all three colours, and the carry is a
// signed compare of lo ^ 0x8000 against (65535 - low) ^ 0x8000 = low ^ 0x7FFF.
//
// 32 pixels per step. Luma is split into even and odd pixels, so 16-bit lane
// k of either half-vector needs chroma sample k of its 128-bit half: the
// chroma words serve both without duplication.
struct ChromaWords {
    __m256i high;      // chroma samples 0..7 | 8..15, as 16-bit words
    __m256i threshold; // low ^ 0x7FFF, same order
};

struct ChromaTerms {
    ChromaWords blue;
    ChromaWords green;
    ChromaWords red;
};

// low ^ 0x7FFF, sign-extended from 16 bits so that the signed pack keeps its bits.
KESTROVA_TARGET inline __m256i threshold(__m256i c) {
    const __m256i t = _mm256_xor_si256(c, _mm256_set1_epi32(0x7FFF));
    return _mm256_srai_epi32(_mm256_slli_epi32(t, 16), 16);
}

// Two vectors of eight 32-bit terms (samples 0..7 and 8..15) to 16-bit words.
KESTROVA_TARGET inline ChromaWords toWords(__m256i first, __m256i second) {
    const __m256i high =
        _mm256_packs_epi32(_mm256_srai_epi32(first, 16), _mm256_srai_epi32(second, 16));
    const __m256i thresholds = _mm256_packs_epi32(threshold(first), threshold(second));
    // The in-lane pack leaves quarters in the order 0, 2, 1, 3.
    return {_mm256_permute4x64_epi64(high, 0xD8), _mm256_permute4x64_epi64(thresholds, 0xD8)};
}

KESTROVA_TARGET inline ChromaTerms chromaTerms(const uint8_t* cbp, const uint8_t* crp) {
    const __m256i centre = _mm256_set1_epi32(128);
    const __m256i lumaOffset = _mm256_set1_epi32(-kYScale * 16);
    const __m256i toRed = _mm256_set1_epi32(kCrToRed);
    const __m256i toBlue = _mm256_set1_epi32(kCbToBlue);
    const __m256i cbToGreen = _mm256_set1_epi32(-kCbToGreen);
    const __m256i crToGreen = _mm256_set1_epi32(-kCrToGreen);
    __m256i red[2], green[2], blue[2];
    for (int half = 0; half < 2; ++half) {
        const __m256i cb = _mm256_sub_epi32(
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cbp + 8 * half))),
            centre);
        const __m256i cr = _mm256_sub_epi32(
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(crp + 8 * half))),
            centre);
        red[half] = _mm256_add_epi32(_mm256_mullo_epi32(cr, toRed), lumaOffset);
        blue[half] = _mm256_add_epi32(_mm256_mullo_epi32(cb, toBlue), lumaOffset);
        green[half] = _mm256_add_epi32(
            _mm256_add_epi32(_mm256_mullo_epi32(cb, cbToGreen), _mm256_mullo_epi32(cr, crToGreen)),
            lumaOffset);
    }
    return {toWords(blue[0], blue[1]), toWords(green[0], green[1]), toWords(red[0], red[1])};
}

// The colour-independent part of sixteen pixels' indexes.
struct LumaWords {
    __m256i base;       // y + hi
    __m256i flippedLow; // lo ^ 0x8000
};

KESTROVA_TARGET inline LumaWords lumaWords(__m256i y) {
    const __m256i factor = _mm256_set1_epi16(kYLow);
    const __m256i signBit = _mm256_set1_epi16(static_cast<int16_t>(0x8000));
    return {_mm256_add_epi16(y, _mm256_mulhi_epu16(y, factor)),
            _mm256_xor_si256(_mm256_mullo_epi16(y, factor), signBit)};
}

KESTROVA_TARGET inline __m256i index(const LumaWords& y, const ChromaWords& c) {
    // The compare gives -1 where the low halves carry; subtracting it adds one.
    const __m256i carry = _mm256_cmpgt_epi16(y.flippedLow, c.threshold);
    return _mm256_sub_epi16(_mm256_add_epi16(y.base, c.high), carry);
}

// Each 128-bit half: its eight even pixels, then its eight odd ones. The
// saturating pack clamps exactly as the clamp table does.
KESTROVA_TARGET inline __m256i colourBytes(const LumaWords& even, const LumaWords& odd,
                                           const ChromaWords& c) {
    return _mm256_packus_epi16(index(even, c), index(odd, c));
}

KESTROVA_TARGET inline __m256i bothHalves(const std::array<uint8_t, 16>& bytes) {
    return _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data())));
}

KESTROVA_TARGET inline void line32(const uint8_t* luma, const ChromaTerms& c, uint8_t* out) {
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma));
    const LumaWords even = lumaWords(_mm256_and_si256(y, _mm256_set1_epi16(0xFF)));
    const LumaWords odd = lumaWords(_mm256_srli_epi16(y, 8));
    const __m256i b = colourBytes(even, odd, c.blue);
    const __m256i g = colourBytes(even, odd, c.green);
    const __m256i r = colourBytes(even, odd, c.red);
    // One shuffle per colour puts each byte where one of the three output
    // chunks wants it; two blends per chunk then pick the colour.
    const __m256i blue = _mm256_shuffle_epi8(b, bothHalves(kRotatedInterleave.spread[0]));
    const __m256i green = _mm256_shuffle_epi8(g, bothHalves(kRotatedInterleave.spread[1]));
    const __m256i red = _mm256_shuffle_epi8(r, bothHalves(kRotatedInterleave.spread[2]));
    __m256i v[3];
    for (int chunk = 0; chunk < 3; ++chunk) {
        const auto& pick = kRotatedInterleave.pick[chunk];
        v[chunk] = _mm256_blendv_epi8(_mm256_blendv_epi8(blue, green, bothHalves(pick[0])), red,
                                      bothHalves(pick[1]));
    }
    // Low halves carry pixels 0..15 (bytes 0..47), high halves 16..31.
    auto* dst = reinterpret_cast<__m256i*>(out);
    _mm256_storeu_si256(dst + 0, _mm256_permute2x128_si256(v[0], v[1], 0x20));
    _mm256_storeu_si256(dst + 1, _mm256_permute2x128_si256(v[2], v[0], 0x30));
    _mm256_storeu_si256(dst + 2, _mm256_permute2x128_si256(v[1], v[2], 0x31));
}

} // namespace

KESTROVA_TARGET void convertRowPairAvx2(const ConversionTables& tables, const RowPair& rows,
                                        int width) {
    const int simdWidth = width & ~31;
    for (int x = 0; x < simdWidth; x += 32) {
        const ChromaTerms c = chromaTerms(rows.cb + x / 2, rows.cr + x / 2);
        line32(rows.y0 + x, c, rows.out0 + 3 * x);
        line32(rows.y1 + x, c, rows.out1 + 3 * x);
    }
    if (simdWidth < width) {
        // The 16-pixel kernel finishes the row (and hands its own tail on).
        const RowPair tail = rowsFrom(rows, simdWidth);
        convertRowPairSsse3(tables, tail, width - simdWidth);
    }
}

} // namespace kestrova::yuv

#include "codec/yuv/yuv_kernel.h"
#include "codec/yuv/yuv_simd_constants.h"

#include <immintrin.h>

#define KESTROVA_TARGET __attribute__((target("avx2")))

namespace kestrova::yuv {
namespace {

using namespace simd;

// 32 pixels per step, as two 16-pixel groups: pixels 0..15 in the low
// 128-bit halves, 16..31 in the high halves. Chroma for the even and odd
// chroma positions of a group sits in separate vectors, lined up with the
// luma vectors (pixels 4j, 4j+1 use even sample 2j; 4j+2, 4j+3 odd 2j+1),
// so no per-pixel duplication is needed.
struct ChromaTerms {
    __m256i red[2]; // [0]: even chroma positions, [1]: odd
    __m256i green[2];
    __m256i blue[2];
};

KESTROVA_TARGET inline ChromaTerms chromaTerms(const uint8_t* cbp, const uint8_t* crp) {
    const __m256i low16 = _mm256_set1_epi32(0xFFFF);
    const __m256i cbWords =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cbp)));
    const __m256i crWords =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(crp)));
    const __m256i cb[2] = {_mm256_and_si256(cbWords, low16), _mm256_srli_epi32(cbWords, 16)};
    const __m256i cr[2] = {_mm256_and_si256(crWords, low16), _mm256_srli_epi32(crWords, 16)};

    const __m256i redK = _mm256_set1_epi32(factorPair(kRedLow, 0));
    const __m256i blueK = _mm256_set1_epi32(factorPair(kBlueLow, 0));
    const __m256i greenK = _mm256_set1_epi32(factorPair(kGreenCb, kGreenCrLow));
    const __m256i redOff = _mm256_set1_epi32(kRedOffset);
    const __m256i blueOff = _mm256_set1_epi32(kBlueOffset);
    const __m256i greenOff = _mm256_set1_epi32(kGreenOffset);

    ChromaTerms t;
    for (int i = 0; i < 2; ++i) {
        const __m256i crHigh = _mm256_slli_epi32(cr[i], 16);
        t.red[i] = _mm256_add_epi32(
            _mm256_add_epi32(_mm256_add_epi32(crHigh, crHigh), _mm256_madd_epi16(cr[i], redK)),
            redOff);
        t.blue[i] = _mm256_add_epi32(
            _mm256_add_epi32(_mm256_slli_epi32(cb[i], 17), _mm256_madd_epi16(cb[i], blueK)),
            blueOff);
        t.green[i] = _mm256_add_epi32(
            _mm256_sub_epi32(_mm256_madd_epi16(_mm256_or_si256(cb[i], crHigh), greenK), crHigh),
            greenOff);
    }
    return t;
}

// Sums luma and chroma terms and keeps bits 16..31 of each sum (the colour
// index, which always fits 16 bits); the saturating byte pack then does what
// the clamp table does.
KESTROVA_TARGET inline __m256i colourBytes(const __m256i luma[4], const __m256i chroma[2]) {
    const __m256i highWord = _mm256_set1_epi32(static_cast<int32_t>(0xFFFF0000u));
    const __m256i s0 = _mm256_add_epi32(luma[0], chroma[0]);
    const __m256i s1 = _mm256_add_epi32(luma[1], chroma[0]);
    const __m256i s2 = _mm256_add_epi32(luma[2], chroma[1]);
    const __m256i s3 = _mm256_add_epi32(luma[3], chroma[1]);
    const __m256i w01 = _mm256_or_si256(_mm256_srli_epi32(s0, 16), _mm256_and_si256(s1, highWord));
    const __m256i w23 = _mm256_or_si256(_mm256_srli_epi32(s2, 16), _mm256_and_si256(s3, highWord));
    return _mm256_packus_epi16(w01, w23);
}

KESTROVA_TARGET inline __m256i mask(int chunk, int comp) {
    return _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(kInterleaveMasks[chunk][comp].data())));
}

KESTROVA_TARGET inline __m256i lumaTerm(__m256i y) {
    const __m256i yK = _mm256_set1_epi32(factorPair(kYLow, 0));
    return _mm256_add_epi32(_mm256_slli_epi32(y, 16), _mm256_madd_epi16(y, yK));
}

KESTROVA_TARGET inline void line32(const uint8_t* luma, const ChromaTerms& c, uint8_t* out) {
    const __m256i lowByte = _mm256_set1_epi32(0xFF);
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma));
    const __m256i terms[4] = {
        lumaTerm(_mm256_and_si256(y, lowByte)),
        lumaTerm(_mm256_and_si256(_mm256_srli_epi32(y, 8), lowByte)),
        lumaTerm(_mm256_and_si256(_mm256_srli_epi32(y, 16), lowByte)),
        lumaTerm(_mm256_srli_epi32(y, 24)),
    };
    const __m256i b = colourBytes(terms, c.blue);
    const __m256i g = colourBytes(terms, c.green);
    const __m256i r = colourBytes(terms, c.red);
    __m256i v[3];
    for (int chunk = 0; chunk < 3; ++chunk) {
        v[chunk] = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(b, mask(chunk, 0)),
                                                   _mm256_shuffle_epi8(g, mask(chunk, 1))),
                                   _mm256_shuffle_epi8(r, mask(chunk, 2)));
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
        const RowPair tail{rows.y0 + simdWidth,       rows.y1 + simdWidth,
                           rows.cb + simdWidth / 2,   rows.cr + simdWidth / 2,
                           rows.out0 + 3 * simdWidth, rows.out1 + 3 * simdWidth};
        convertRowPairSsse3(tables, tail, width - simdWidth);
    }
}

} // namespace kestrova::yuv

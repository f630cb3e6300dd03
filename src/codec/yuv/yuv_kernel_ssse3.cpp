#include "codec/yuv/yuv_kernel.h"
#include "codec/yuv/yuv_simd_constants.h"

#include <immintrin.h>

#define KESTROVA_TARGET __attribute__((target("ssse3")))

namespace kestrova::yuv {
namespace {

using namespace simd;

// 16 pixels per step; the same lane layout as one half of the AVX2 kernel.
struct ChromaTerms {
    __m128i red[2]; // [0]: even chroma positions, [1]: odd
    __m128i green[2];
    __m128i blue[2];
};

KESTROVA_TARGET inline ChromaTerms chromaTerms(const uint8_t* cbp, const uint8_t* crp) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low16 = _mm_set1_epi32(0xFFFF);
    const __m128i cbWords =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cbp)), zero);
    const __m128i crWords =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(crp)), zero);
    const __m128i cb[2] = {_mm_and_si128(cbWords, low16), _mm_srli_epi32(cbWords, 16)};
    const __m128i cr[2] = {_mm_and_si128(crWords, low16), _mm_srli_epi32(crWords, 16)};

    const __m128i redK = _mm_set1_epi32(factorPair(kRedLow, 0));
    const __m128i blueK = _mm_set1_epi32(factorPair(kBlueLow, 0));
    const __m128i greenK = _mm_set1_epi32(factorPair(kGreenCb, kGreenCrLow));
    const __m128i redOff = _mm_set1_epi32(kRedOffset);
    const __m128i blueOff = _mm_set1_epi32(kBlueOffset);
    const __m128i greenOff = _mm_set1_epi32(kGreenOffset);

    ChromaTerms t;
    for (int i = 0; i < 2; ++i) {
        const __m128i crHigh = _mm_slli_epi32(cr[i], 16);
        t.red[i] = _mm_add_epi32(
            _mm_add_epi32(_mm_add_epi32(crHigh, crHigh), _mm_madd_epi16(cr[i], redK)), redOff);
        t.blue[i] = _mm_add_epi32(
            _mm_add_epi32(_mm_slli_epi32(cb[i], 17), _mm_madd_epi16(cb[i], blueK)), blueOff);
        t.green[i] = _mm_add_epi32(
            _mm_sub_epi32(_mm_madd_epi16(_mm_or_si128(cb[i], crHigh), greenK), crHigh), greenOff);
    }
    return t;
}

KESTROVA_TARGET inline __m128i colourBytes(const __m128i luma[4], const __m128i chroma[2]) {
    const __m128i highWord = _mm_set1_epi32(static_cast<int32_t>(0xFFFF0000u));
    const __m128i s0 = _mm_add_epi32(luma[0], chroma[0]);
    const __m128i s1 = _mm_add_epi32(luma[1], chroma[0]);
    const __m128i s2 = _mm_add_epi32(luma[2], chroma[1]);
    const __m128i s3 = _mm_add_epi32(luma[3], chroma[1]);
    const __m128i w01 = _mm_or_si128(_mm_srli_epi32(s0, 16), _mm_and_si128(s1, highWord));
    const __m128i w23 = _mm_or_si128(_mm_srli_epi32(s2, 16), _mm_and_si128(s3, highWord));
    return _mm_packus_epi16(w01, w23);
}

KESTROVA_TARGET inline __m128i mask(int chunk, int comp) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(kInterleaveMasks[chunk][comp].data()));
}

KESTROVA_TARGET inline __m128i lumaTerm(__m128i y) {
    const __m128i yK = _mm_set1_epi32(factorPair(kYLow, 0));
    return _mm_add_epi32(_mm_slli_epi32(y, 16), _mm_madd_epi16(y, yK));
}

KESTROVA_TARGET inline void line16(const uint8_t* luma, const ChromaTerms& c, uint8_t* out) {
    const __m128i lowByte = _mm_set1_epi32(0xFF);
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma));
    const __m128i terms[4] = {
        lumaTerm(_mm_and_si128(y, lowByte)),
        lumaTerm(_mm_and_si128(_mm_srli_epi32(y, 8), lowByte)),
        lumaTerm(_mm_and_si128(_mm_srli_epi32(y, 16), lowByte)),
        lumaTerm(_mm_srli_epi32(y, 24)),
    };
    const __m128i b = colourBytes(terms, c.blue);
    const __m128i g = colourBytes(terms, c.green);
    const __m128i r = colourBytes(terms, c.red);
    for (int chunk = 0; chunk < 3; ++chunk) {
        const __m128i v = _mm_or_si128(
            _mm_or_si128(_mm_shuffle_epi8(b, mask(chunk, 0)), _mm_shuffle_epi8(g, mask(chunk, 1))),
            _mm_shuffle_epi8(r, mask(chunk, 2)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * chunk), v);
    }
}

} // namespace

KESTROVA_TARGET void convertRowPairSsse3(const ConversionTables& tables, const RowPair& rows,
                                         int width) {
    const int simdWidth = width & ~15;
    for (int x = 0; x < simdWidth; x += 16) {
        const ChromaTerms c = chromaTerms(rows.cb + x / 2, rows.cr + x / 2);
        line16(rows.y0 + x, c, rows.out0 + 3 * x);
        line16(rows.y1 + x, c, rows.out1 + 3 * x);
    }
    if (simdWidth < width) {
        const RowPair tail = rowsFrom(rows, simdWidth);
        convertRowPairReference(tables, tail, width - simdWidth);
    }
}

} // namespace kestrova::yuv

#include <immintrin.h>

// GCC 12's AVX-512 shift intrinsics pass a deliberately undefined vector as
// the unused merge source, which its own flow analysis then reports.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "codec/yuv/bgr_widen.h"
#include "codec/yuv/yuv_kernel.h"
#include "codec/yuv/yuv_simd_constants.h"

#define KESTROVA_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace kestrova::yuv {
namespace {

using namespace simd;

// 64 pixels per step: four 16-pixel groups, one per 128-bit quarter, each
// laid out as in the SSSE3 kernel. Byte permutes across the whole register
// then interleave the colours, two instructions per 64 output bytes.
struct ChromaTerms {
    __m512i red[2]; // [0]: even chroma positions, [1]: odd
    __m512i green[2];
    __m512i blue[2];
};

KESTROVA_TARGET inline ChromaTerms chromaTerms(const uint8_t* cbp, const uint8_t* crp) {
    const __m512i low16 = _mm512_set1_epi32(0xFFFF);
    const __m512i cbWords =
        _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(cbp)));
    const __m512i crWords =
        _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(crp)));
    const __m512i cb[2] = {_mm512_and_si512(cbWords, low16), _mm512_srli_epi32(cbWords, 16)};
    const __m512i cr[2] = {_mm512_and_si512(crWords, low16), _mm512_srli_epi32(crWords, 16)};

    const __m512i redK = _mm512_set1_epi32(factorPair(kRedLow, 0));
    const __m512i blueK = _mm512_set1_epi32(factorPair(kBlueLow, 0));
    const __m512i greenK = _mm512_set1_epi32(factorPair(kGreenCb, kGreenCrLow));
    const __m512i redOff = _mm512_set1_epi32(kRedOffset);
    const __m512i blueOff = _mm512_set1_epi32(kBlueOffset);
    const __m512i greenOff = _mm512_set1_epi32(kGreenOffset);

    ChromaTerms t;
    for (int i = 0; i < 2; ++i) {
        const __m512i crHigh = _mm512_slli_epi32(cr[i], 16);
        t.red[i] = _mm512_add_epi32(
            _mm512_add_epi32(_mm512_add_epi32(crHigh, crHigh), _mm512_madd_epi16(cr[i], redK)),
            redOff);
        t.blue[i] = _mm512_add_epi32(
            _mm512_add_epi32(_mm512_slli_epi32(cb[i], 17), _mm512_madd_epi16(cb[i], blueK)),
            blueOff);
        t.green[i] = _mm512_add_epi32(
            _mm512_sub_epi32(_mm512_madd_epi16(_mm512_or_si512(cb[i], crHigh), greenK), crHigh),
            greenOff);
    }
    return t;
}

KESTROVA_TARGET inline __m512i colourBytes(const __m512i luma[4], const __m512i chroma[2]) {
    const __m512i highWord = _mm512_set1_epi32(static_cast<int32_t>(0xFFFF0000u));
    const __m512i s0 = _mm512_add_epi32(luma[0], chroma[0]);
    const __m512i s1 = _mm512_add_epi32(luma[1], chroma[0]);
    const __m512i s2 = _mm512_add_epi32(luma[2], chroma[1]);
    const __m512i s3 = _mm512_add_epi32(luma[3], chroma[1]);
    const __m512i w01 = _mm512_or_si512(_mm512_srli_epi32(s0, 16), _mm512_and_si512(s1, highWord));
    const __m512i w23 = _mm512_or_si512(_mm512_srli_epi32(s2, 16), _mm512_and_si512(s3, highWord));
    return _mm512_packus_epi16(w01, w23);
}

KESTROVA_TARGET inline __m512i lumaTerm(__m512i y) {
    const __m512i yK = _mm512_set1_epi32(factorPair(kYLow, 0));
    return _mm512_add_epi32(_mm512_slli_epi32(y, 16), _mm512_madd_epi16(y, yK));
}

struct Colours {
    __m512i b, g, r;
};

KESTROVA_TARGET inline Colours colours64(const uint8_t* luma, const ChromaTerms& c) {
    const __m512i lowByte = _mm512_set1_epi32(0xFF);
    const __m512i y = _mm512_loadu_si512(luma);
    const __m512i terms[4] = {
        lumaTerm(_mm512_and_si512(y, lowByte)),
        lumaTerm(_mm512_and_si512(_mm512_srli_epi32(y, 8), lowByte)),
        lumaTerm(_mm512_and_si512(_mm512_srli_epi32(y, 16), lowByte)),
        lumaTerm(_mm512_srli_epi32(y, 24)),
    };
    return {colourBytes(terms, c.blue), colourBytes(terms, c.green), colourBytes(terms, c.red)};
}

KESTROVA_TARGET inline void line64(const uint8_t* luma, const ChromaTerms& c, uint8_t* out) {
    const auto [b, g, r] = colours64(luma, c);
    for (int block = 0; block < 3; ++block) {
        const __m512i bg = _mm512_permutex2var_epi8(
            b, _mm512_loadu_si512(kWideInterleave.blueGreen[block].data()), g);
        const __m512i bgr =
            _mm512_mask_permutexvar_epi8(bg, kWideInterleave.redBytes[block],
                                         _mm512_loadu_si512(kWideInterleave.red[block].data()), r);
        _mm512_storeu_si512(out + 64 * block, bgr);
    }
}

// The same 64 pixels as 32-bit surface pixels, 256 bytes.
KESTROVA_TARGET inline void surfaceLine64(const uint8_t* luma, const ChromaTerms& c, uint8_t* out) {
    const auto [b, g, r] = colours64(luma, c);
    const __m512i opaque = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
    for (int block = 0; block < 4; ++block) {
        const __m512i bg = _mm512_permutex2var_epi8(
            b, _mm512_loadu_si512(kSurfaceInterleave.blueGreen[block].data()), g);
        const __m512i bgr = _mm512_mask_permutexvar_epi8(
            bg, kSurfaceInterleave.redBytes[block],
            _mm512_loadu_si512(kSurfaceInterleave.red[block].data()), r);
        _mm512_storeu_si512(out + 64 * block, _mm512_or_si512(bgr, opaque));
    }
}

} // namespace

KESTROVA_TARGET void convertRowPairAvx512ToSurface(const ConversionTables& tables,
                                                   const RowPair& rows, int width) {
    const int simdWidth = width & ~63;
    for (int x = 0; x < simdWidth; x += 64) {
        const ChromaTerms c = chromaTerms(rows.cb + x / 2, rows.cr + x / 2);
        surfaceLine64(rows.y0 + x, c, rows.out0 + 4 * x);
        surfaceLine64(rows.y1 + x, c, rows.out1 + 4 * x);
    }
    if (simdWidth < width) {
        // The last 4..60 pixels go through the 24-bit kernel and are widened.
        uint8_t staging[2][3 * 64];
        const RowPair tail = rowsFrom(rows, simdWidth, staging[0], staging[1]);
        convertRowPairAvx2(tables, tail, width - simdWidth);
        widenBgrRow(staging[0], width - simdWidth,
                    reinterpret_cast<uint32_t*>(rows.out0 + 4 * simdWidth));
        widenBgrRow(staging[1], width - simdWidth,
                    reinterpret_cast<uint32_t*>(rows.out1 + 4 * simdWidth));
    }
}

KESTROVA_TARGET void convertRowPairAvx512(const ConversionTables& tables, const RowPair& rows,
                                          int width) {
    const int simdWidth = width & ~63;
    for (int x = 0; x < simdWidth; x += 64) {
        const ChromaTerms c = chromaTerms(rows.cb + x / 2, rows.cr + x / 2);
        line64(rows.y0 + x, c, rows.out0 + 3 * x);
        line64(rows.y1 + x, c, rows.out1 + 3 * x);
    }
    if (simdWidth < width) {
        // The AVX2 kernel finishes the row (and hands its own tail on).
        const RowPair tail = rowsFrom(rows, simdWidth);
        convertRowPairAvx2(tables, tail, width - simdWidth);
    }
}

} // namespace kestrova::yuv

#pragma once

// The hot kernels behind one function table, so an optimised variant can
// replace the plain reference one without touching the callers.

#include <cstddef>
#include <cstdint>

struct DECODER;

namespace kestrova::mpeg4 {

// The transform kernels leave their 64 coefficients zero, ready for the
// next block.
struct Dsp {
    // Inverse transform of 64 coefficients (raster order), written as bytes
    // clamped to 0..255.
    void (*idct_put)(int32_t* coeffs, uint8_t* dst, ptrdiff_t stride);
    // Inverse transform added to the prediction in dst, clamped to 0..255.
    void (*idct_add)(int32_t* coeffs, uint8_t* dst, ptrdiff_t stride);
    // idct_add for coefficients stored column by column (entry 8 x c + r is
    // row r, column c), which lets a vector kernel skip one transposition.
    void (*idct_add_columns)(int32_t* coeffs, uint8_t* dst, ptrdiff_t stride);
    // size x size half-sample prediction (size 8 or 16). src points at the
    // integer-position sample; hx / hy select the half positions.
    void (*mc_block)(uint8_t* dst, ptrdiff_t dst_stride, const uint8_t* src, ptrdiff_t src_stride,
                     int size, int hx, int hy, int rounding);
    // Doubles a width x height plane (lines src_stride apart) into dst
    // (stride 2 x width).
    void (*double_plane)(const uint8_t* src, ptrdiff_t src_stride, int width, int height,
                         uint8_t* dst);
    // Filters the luma plane across its 8x8 block edges in place with
    // strength qp (horizontal edges first, then vertical ones).
    void (*deblock_luma)(uint8_t* plane, ptrdiff_t stride, int width, int height, int qp);
    // Which kernels these are, e.g. "reference" or "avx2".
    const char* name;
};

// Plain C++ kernels; every other variant matches them byte for byte.
const Dsp& dsp_reference();
// The fastest variant the processor runs, picked once.
const Dsp& dsp_default();

// Makes an existing decoder use the given kernels from its next picture on
// (tests compare whole decodes with the reference and the fast kernels).
void set_decoder_dsp(DECODER* decoder, const Dsp& dsp);

} // namespace kestrova::mpeg4

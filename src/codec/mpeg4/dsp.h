#pragma once

// The hot kernels behind one function table, so an optimised variant can
// replace the plain reference one without touching the callers.

#include <cstddef>
#include <cstdint>

namespace kestrova::mpeg4 {

struct Dsp {
    // Inverse transform of 64 coefficients (raster order, destroyed), written
    // as bytes clamped to 0..255.
    void (*idct_put)(int32_t* coeffs, uint8_t* dst, ptrdiff_t stride);
    // Inverse transform added to the prediction in dst, clamped to 0..255.
    void (*idct_add)(int32_t* coeffs, uint8_t* dst, ptrdiff_t stride);
    // size x size half-sample prediction (size 8 or 16). src points at the
    // integer-position sample; hx / hy select the half positions.
    void (*mc_block)(uint8_t* dst, ptrdiff_t dst_stride, const uint8_t* src, ptrdiff_t src_stride,
                     int size, int hx, int hy, int rounding);
    // Doubles a width x height plane into dst (stride 2 x width).
    void (*double_plane)(const uint8_t* src, int width, int height, uint8_t* dst);
};

const Dsp& dsp_reference();
// The variant the decoder uses.
const Dsp& dsp_default();

} // namespace kestrova::mpeg4

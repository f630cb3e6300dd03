#pragma once

// Fixed-point separable 8x8 inverse DCT (rows, then columns) with constants
// of 512 x the cosines.

#include <cstddef>
#include <cstdint>

namespace kestrova::mpeg4 {

// In place: coefficients in, spatial values out (raster order).
void idct_ref(int32_t* block);
// idct_put_ref of a block whose only non-zero coefficient is the first one
// (the common intra block), without a block in memory.
void idct_put_dc(int32_t dc, uint8_t* dst, ptrdiff_t stride);
// Transform into the picture; the block is left all zero.
void idct_put_ref(int32_t* block, uint8_t* dst, ptrdiff_t stride);
void idct_add_ref(int32_t* block, uint8_t* dst, ptrdiff_t stride);
// The same for a block stored column by column (entry 8 x c + r holds row r,
// column c).
void idct_add_columns_ref(int32_t* block, uint8_t* dst, ptrdiff_t stride);

} // namespace kestrova::mpeg4

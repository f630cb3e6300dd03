#pragma once

// Inverse quantisation of one block of quantised coefficients (raster
// order, in place). Results are saturated to -2048..2047, the range the
// transform is defined for.

#include <cstdint>

namespace kestrova::mpeg4 {

// Luma DC scaler for QP 1..31; chroma when `chroma`.
int dc_scaler(int qp, bool chroma);

// Intra block: F[0] = QF[0] x dc_scaler, AC by the method of quant_type.
void dequant_intra(int32_t* block, int qp, int dc_scale, int quant_type, const uint8_t* matrix);
// The same for the H.263 method when only the positions whose bits are set
// in `nonzero` (bit i: raster index i) can hold a non-zero AC value.
void dequant_intra_h263(int32_t* block, uint64_t nonzero, int qp, int dc_scale);
// The same for a block whose AC values off the first row and column are
// dequantised already: DC, positions 1..7 and 8, 16, ..., 56.
void dequant_intra_edges_h263(int32_t* block, int qp, int dc_scale);
// Inter block: every coefficient by the method of quant_type.
void dequant_inter(int32_t* block, int qp, int quant_type, const uint8_t* matrix);
// The same when only the listed raster positions can be non-zero.
void dequant_inter_sparse(int32_t* block, const uint8_t* positions, int count, int qp,
                          int quant_type, const uint8_t* matrix);

// Division rounded to the nearest integer, halves away from zero (m > 0).
inline int32_t div_round(int32_t n, int32_t m) {
    return n >= 0 ? (n + m / 2) / m : (n - m / 2) / m;
}

} // namespace kestrova::mpeg4

#pragma once

// Coefficient decoding of one 8x8 block: (last, run, level) symbols with the
// three escape modes, placed along a scan order.

#include "codec/mpeg4/bitreader.h"
#include "codec/mpeg4/vlc.h"

#include <cstdint>

namespace kestrova::mpeg4 {

// Decodes coefficients into qf (raster order, must be zeroed by the caller)
// from scan position `start`. False on an invalid code or a run past 63.
// When `positions` is given, the raster index of every coefficient written is
// appended there (at most 64) and counted in *count.
bool decode_coefficients(BitReader& br, const VlcTables& t, bool intra, const uint8_t* scan,
                         int start, int32_t* qf, uint8_t* positions = nullptr,
                         int* count = nullptr);

// Intra AC coefficients from scan position 1 into qf (raster order, zeroed
// by the caller); sets bit i of *written for every raster index i written.
bool decode_intra_coefficients(BitReader& br, const VlcTables& t, const uint8_t* scan, int32_t* qf,
                               uint64_t* written);

// An inter block in zigzag order, inverse quantised by the H.263 method with
// quantiser qp as it is read (same values as decode_coefficients followed by
// dequant_inter), stored column by column (entry 8 x c + r holds row r,
// column c) for Dsp::idct_add_columns. `block` must be zeroed by the caller.
bool decode_inter_h263(BitReader& br, const VlcTables& t, int qp, int32_t* block);

// Intra AC coefficients from scan position 1 into qf (raster order, zeroed
// by the caller), inverse quantised by the H.263 method as they are read,
// except on the first row and column (positions 1..7 and 8, 16, ..., 56),
// which keep their quantised levels for intra prediction.
bool decode_intra_h263(BitReader& br, const VlcTables& t, int qp, const uint8_t* scan, int32_t* qf);

// Reads an intra DC differential of the given size (0..12).
int read_dc_differential(BitReader& br, int size);

} // namespace kestrova::mpeg4

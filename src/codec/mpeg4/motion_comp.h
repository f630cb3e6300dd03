#pragma once

// Half-sample motion-compensated prediction from the bordered reference
// stores into the current planes.

#include "codec/mpeg4/state.h"

#include <cstddef>
#include <cstdint>

namespace kestrova::mpeg4 {

// Reference kernel: size x size samples with the half-sample averages
// (A+B+1-r)>>1, (A+C+1-r)>>1 and (A+B+C+D+2-r)>>2.
void mc_block_ref(uint8_t* dst, ptrdiff_t dst_stride, const uint8_t* src, ptrdiff_t src_stride,
                  int size, int hx, int hy, int rounding);

// Chroma vector component from a one-vector luma component.
int chroma_from_vector(int v);
// Chroma vector component from the sum of the four block vectors.
int chroma_from_sum(int s);

// Predicts the luma, Cb and Cr of macroblock (col, row) of a P picture from
// its vectors (one or four).
void predict_macroblock(DecoderState& s, int col, int row, const MacroblockVectors& mv,
                        bool four_vectors);

// Copies macroblock (col, row) unchanged from the reference (skipped
// macroblocks).
void copy_macroblock(DecoderState& s, int col, int row);

} // namespace kestrova::mpeg4

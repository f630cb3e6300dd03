#pragma once

// Post-filter of the luma plane across 8x8 block edges (threshold 2, flat
// region count 6), and the running filter strength.

#include <cstddef>
#include <cstdint>

namespace kestrova::mpeg4 {

// Filters horizontal edges (lines 8, 16, ...) and then vertical edges
// (columns 8, 16, ...) in place with strength qp.
void deblock_luma(uint8_t* plane, ptrdiff_t stride, int width, int height, int qp);
inline void deblock_luma(uint8_t* plane, int width, int height, int qp) {
    deblock_luma(plane, width, width, height, qp);
}

// Filters one run of ten samples s0..s9 across an edge between s4 and s5;
// `step` is the distance between successive samples.
void deblock_samples(uint8_t* s0, ptrdiff_t step, int qp);

// Strength of the next picture: intra pictures use memory + 5 and leave it,
// P pictures move the memory to (vop_quant + 4 x memory) / 5 and use that.
int next_filter_strength(int32_t& memory, bool intra, int vop_quant);

} // namespace kestrova::mpeg4

#pragma once

// Copies a picture plane into its bordered reference store and replicates the
// edge samples into the border, so motion vectors may point outside.

#include <cstddef>
#include <cstdint>

namespace kestrova::mpeg4 {

// `origin` is the picture's first sample inside the store; `stride` the
// store's line length (width + 2 x border).
void copy_with_border(const uint8_t* plane, int width, int height, uint8_t* origin,
                      ptrdiff_t stride, int border);

// Replicates the edge samples of a picture already in its store into the
// border around it.
void extend_border(uint8_t* origin, int width, int height, ptrdiff_t stride, int border);
// The two halves of extend_border: the left and right border of lines
// first..end-1, and the lines above and below the picture (whose sides must
// already be extended).
void extend_sides(uint8_t* origin, int width, int first, int end, ptrdiff_t stride, int border);
void extend_top_bottom(uint8_t* origin, int width, int height, ptrdiff_t stride, int border);

} // namespace kestrova::mpeg4

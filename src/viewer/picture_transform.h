#pragma once

#include <cstdint>

namespace kestrova::viewer {

// Copies a bottom-up 24-bit BGR picture of width x height (rows `srcStride` bytes apart)
// into top-down rows at `dst` (`dstStride` apart), applying the mirror mode: bit 0 flips
// the picture vertically, bit 1 mirrors it horizontally. Works for any width; pixels
// move as 3-byte units.
void TransformToTopDown(const uint8_t* src, int srcStride, int width, int height, int mirrorMode,
                        uint8_t* dst, int dstStride);

} // namespace kestrova::viewer

#pragma once

#include <cstdint>

namespace kestrova::viewer {

// Copies a bottom-up 24-bit BGR picture of width x height (rows `srcStride` bytes apart)
// into top-down rows at `dst` (`dstStride` apart), applying the mirror mode: bit 0 flips
// the picture vertically, bit 1 mirrors it horizontally. Works for any width; pixels
// move as 3-byte units.
void TransformToTopDown(const uint8_t* src, int srcStride, int width, int height, int mirrorMode,
                        uint8_t* dst, int dstStride);

// The same transform into 32-bit pixels 0xFFRRGGBB (the display surface's format), so a
// picture shown at its own size goes to the surface in one pass with no converting draw.
// `dstStride` is in bytes.
void TransformToTopDownXrgb(const uint8_t* src, int srcStride, int width, int height,
                            int mirrorMode, uint8_t* dst, int dstStride);

} // namespace kestrova::viewer

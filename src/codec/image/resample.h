#pragma once

#include <cstdint>

namespace kestrova::image {

// Resamples 24-bit rows (any row order, the same in source and destination)
// with a separable Catmull-Rom bicubic filter whose support widens when
// shrinking, so that downscaled pictures do not alias. Pixel centres are
// aligned; edges repeat the outermost pixels. False when working memory runs
// out.
bool ResampleBicubic(const uint8_t* src, int srcWidth, int srcHeight, int srcStride, uint8_t* dst,
                     int dstWidth, int dstHeight, int dstStride);

} // namespace kestrova::image

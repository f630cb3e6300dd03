#pragma once

#include <cstdint>
#include <span>

namespace kestrova::yuv {

// Widens one row of 3-byte blue-green-red pixels to 32-bit pixels 0xFFRRGGBB (a display
// surface's format), in the same order or right to left.
void widenBgrRow(const uint8_t* bgr, int width, uint32_t* out);
void widenBgrRowReversed(const uint8_t* bgr, int width, uint32_t* out);

// The portable version, the one every vector version must match.
void widenBgrRowPlain(const uint8_t* bgr, int width, uint32_t* out);

struct WidenKernel {
    const char* name;
    void (*widen)(const uint8_t* bgr, int width, uint32_t* out);
};
// Versions this CPU can run, the portable one first and the one widenBgrRow uses last.
std::span<const WidenKernel> widenKernels();

} // namespace kestrova::yuv

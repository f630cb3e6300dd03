#pragma once

#include "codec/yuv/yuv_kernel.h"

#include <cstddef>
#include <cstdint>

namespace kestrova::yuv {

struct PlanarPicture {
    const uint8_t* y;
    const uint8_t* cb;
    const uint8_t* cr;
    // Bytes from one line of a plane to the next; 0 for planes packed without
    // gaps (width, and width / 2 for the colour planes).
    std::ptrdiff_t lumaStride = 0;
    std::ptrdiff_t chromaStride = 0;
};

// Sizes the row kernels can take without writing past width x height x 3:
// positive, width a multiple of 4 (four pixels per step), height even.
bool isConvertibleSize(int width, int height);

// Converts a 4:2:0 picture into bottom-up BGR rows of exactly width x 3
// bytes. Returns false, writing nothing, for a refused size, a null pointer
// or absent tables.
bool convertPicture(const ConversionTables& tables, const Kernel& kernel,
                    const PlanarPicture& picture, uint8_t* bgr, int width, int height);

// The widest picture convertPictureToSurface takes (its two-row staging lives on the stack).
inline constexpr int kMaxSurfaceWidth = 4096;

// How a picture lands on a 32-bit surface.
struct SurfaceTarget {
    uint8_t* top;          // the surface's first row
    std::ptrdiff_t stride; // bytes from one surface row to the next
    bool flip = false;     // luma line 0 goes to the last row
    bool mirror = false;   // each row right to left
};

// Converts a 4:2:0 picture into top-down 32-bit pixels 0xFFRRGGBB, exactly the bytes
// convertPicture gives widened to 32 bits: straight into the surface where the kernel
// writes surface pixels itself, otherwise each pair of lines passes through a two-row
// staging in the first-level cache, so no 24-bit picture is written in between. Refuses
// (writing nothing) what convertPicture refuses and widths over kMaxSurfaceWidth.
bool convertPictureToSurface(const ConversionTables& tables, const Kernel& kernel,
                             const PlanarPicture& picture, const SurfaceTarget& target, int width,
                             int height);

} // namespace kestrova::yuv

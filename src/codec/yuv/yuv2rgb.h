#pragma once

#include "codec/c_export.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// Process-wide tables: build once before converting, free when playback stops.
KESTROVA_C_EXPORT void init_YUV2RGB_tab(void);
KESTROVA_C_EXPORT void delete_YUV2RGB_tab(void);
// yuv: Y (width x height), then Cb and Cr ((width / 2) x (height / 2) each).
// bgr receives width x height x 3 bytes, bottom row first. Sizes that are
// not positive, widths that are not a multiple of 4, odd heights, null
// pointers and a call before init_YUV2RGB_tab are refused: nothing is written.
KESTROVA_C_EXPORT void ConvertYUVtoRGB(unsigned char* yuv, unsigned char* bgr, int width,
                                       int height);

namespace kestrova {

namespace yuv {
struct ColourTables;
}

// The converter object of the MPEG-4 display path: its own tables, the same
// arithmetic and kernels as the exported functions.
class CYuvToRgb {
public:
    CYuvToRgb();
    virtual ~CYuvToRgb();
    CYuvToRgb(const CYuvToRgb&) = delete;
    CYuvToRgb& operator=(const CYuvToRgb&) = delete;

    // Allocates the clamp table and fills all tables: 1, or 0 when memory
    // is short (playback must not start then).
    int Initialise();
    // Returns 1 after converting, 0 (nothing written) for a refused size,
    // a null pointer or a converter that is not initialised.
    int Convert(const unsigned char* y, const unsigned char* cb, const unsigned char* cr,
                unsigned char* bgr, int width, int height);
    // The same from planes with lines `lumaStride` and `chromaStride` bytes apart (a
    // decoder's own picture store, borders and all).
    int Convert(const unsigned char* y, const unsigned char* cb, const unsigned char* cr,
                std::ptrdiff_t lumaStride, std::ptrdiff_t chromaStride, unsigned char* bgr,
                int width, int height);
    // The same picture as top-down 32-bit pixels 0xFFRRGGBB on a display surface, rows
    // `surfaceStride` bytes apart: `flip` puts luma line 0 last, `mirror` reverses each
    // row. Same bytes as Convert gives, widened; widths over 4096 are refused too.
    int ConvertToSurface(const unsigned char* y, const unsigned char* cb, const unsigned char* cr,
                         std::ptrdiff_t lumaStride, std::ptrdiff_t chromaStride,
                         unsigned char* surface, std::ptrdiff_t surfaceStride, int width,
                         int height, bool flip, bool mirror) const;
    // Frees the clamp table when playback stops; Initialise may follow again.
    void ReleaseClampTable();

private:
    std::unique_ptr<yuv::ColourTables> m_colour;
    std::unique_ptr<uint8_t[]> m_clampRaw;
    const uint8_t* m_clamp = nullptr;
};

} // namespace kestrova

#include "viewer/picture_transform.h"

#include "codec/yuv/bgr_widen.h"

#include <cstring>

namespace kestrova::viewer {

namespace {

void ReverseRow(const uint8_t* src, int width, uint8_t* dst) {
    const uint8_t* s = src + static_cast<std::size_t>(width - 1) * 3;
    for (int x = 0; x < width; ++x, s -= 3, dst += 3) {
        dst[0] = s[0];
        dst[1] = s[1];
        dst[2] = s[2];
    }
}

} // namespace

void TransformToTopDown(const uint8_t* src, int srcStride, int width, int height, int mirrorMode,
                        uint8_t* dst, int dstStride) {
    if (width <= 0 || height <= 0)
        return;
    const bool flip = (mirrorMode & 1) != 0;
    const bool mirror = (mirrorMode & 2) != 0;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    for (int r = 0; r < height; ++r) {
        // Top-down row r of the plain picture is stored bottom-up as row height-1-r; the
        // flip takes the row from the other end.
        const int srcRow = flip ? r : height - 1 - r;
        const uint8_t* s = src + static_cast<std::ptrdiff_t>(srcRow) * srcStride;
        uint8_t* d = dst + static_cast<std::ptrdiff_t>(r) * dstStride;
        if (mirror)
            ReverseRow(s, width, d);
        else
            std::memcpy(d, s, rowBytes);
    }
}

void TransformToTopDownXrgb(const uint8_t* src, int srcStride, int width, int height,
                            int mirrorMode, uint8_t* dst, int dstStride) {
    if (width <= 0 || height <= 0)
        return;
    const bool flip = (mirrorMode & 1) != 0;
    const bool mirror = (mirrorMode & 2) != 0;
    for (int r = 0; r < height; ++r) {
        const int srcRow = flip ? r : height - 1 - r;
        const uint8_t* s = src + static_cast<std::ptrdiff_t>(srcRow) * srcStride;
        auto* d = reinterpret_cast<uint32_t*>(dst + static_cast<std::ptrdiff_t>(r) * dstStride);
        if (mirror)
            yuv::widenBgrRowReversed(s, width, d);
        else
            yuv::widenBgrRow(s, width, d);
    }
}

} // namespace kestrova::viewer

#include "viewer/picture_transform.h"

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

uint32_t Xrgb(const uint8_t* bgr) {
    return 0xFF000000u | (uint32_t{bgr[2]} << 16) | (uint32_t{bgr[1]} << 8) | bgr[0];
}

// Four pixels at a time from three little-endian words: B0G0R0B1 G1R1B2G2 R2B3G3R3.
void WidenRow(const uint8_t* s, int width, uint32_t* d) {
    int x = 0;
    for (; x + 4 <= width; x += 4, s += 12, d += 4) {
        uint32_t a, b, c;
        std::memcpy(&a, s, 4);
        std::memcpy(&b, s + 4, 4);
        std::memcpy(&c, s + 8, 4);
        d[0] = 0xFF000000u | (a & 0xFFFFFFu);
        d[1] = 0xFF000000u | (a >> 24) | ((b & 0xFFFFu) << 8);
        d[2] = 0xFF000000u | (b >> 16) | ((c & 0xFFu) << 16);
        d[3] = 0xFF000000u | (c >> 8);
    }
    for (; x < width; ++x, s += 3)
        *d++ = Xrgb(s);
}

void WidenRowReversed(const uint8_t* src, int width, uint32_t* d) {
    const uint8_t* s = src + static_cast<std::size_t>(width - 1) * 3;
    for (int x = 0; x < width; ++x, s -= 3)
        *d++ = Xrgb(s);
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
            WidenRowReversed(s, width, d);
        else
            WidenRow(s, width, d);
    }
}

} // namespace kestrova::viewer

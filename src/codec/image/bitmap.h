#pragma once

#include <bit>
#include <cstdint>

namespace kestrova {

static_assert(std::endian::native == std::endian::little,
              "bitmap headers are stored in host order and must be little-endian");

#pragma pack(push, 1)
// The 40-byte information header in front of every 24-bit bitmap the viewer
// passes around. Height is positive: rows are stored bottom-up.
struct BitmapInfoHeader {
    uint32_t size;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t sizeImage;
    int32_t xPelsPerMeter;
    int32_t yPelsPerMeter;
    uint32_t clrUsed;
    uint32_t clrImportant;
};

// The 14-byte header of a bitmap file ("BM", file size, two reserved words,
// offset of the pixels from the start of the file).
struct BitmapFileHeader {
    uint16_t type;
    uint32_t size;
    uint16_t reserved1;
    uint16_t reserved2;
    uint32_t offBits;
};
#pragma pack(pop)

static_assert(sizeof(BitmapInfoHeader) == 40);
static_assert(sizeof(BitmapFileHeader) == 14);

constexpr uint32_t kBitmapInfoHeaderSize = 40;
constexpr uint32_t kBitmapFileHeaderSize = 14;
constexpr uint16_t kBitmapFileType = 0x4D42; // "BM"
constexpr uint32_t kBitmapRgb = 0;           // uncompressed

// 96 dots per inch expressed in pixels per metre (96 * 39.3700787..., rounded).
constexpr int32_t kPelsPerMeter96Dpi = 3780;

// Bytes per 24-bit row: width * 3 rounded up to a multiple of 4.
constexpr int DibStride(int width) {
    return ((width * 24 + 31) / 32) * 4;
}

// A header for a width x height 24-bit bottom-up bitmap at 96 dpi.
constexpr BitmapInfoHeader MakeInfoHeader(int width, int height) {
    BitmapInfoHeader h{};
    h.size = kBitmapInfoHeaderSize;
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bitCount = 24;
    h.compression = kBitmapRgb;
    h.sizeImage = static_cast<uint32_t>(DibStride(width)) * static_cast<uint32_t>(height);
    h.xPelsPerMeter = kPelsPerMeter96Dpi;
    h.yPelsPerMeter = kPelsPerMeter96Dpi;
    return h;
}

} // namespace kestrova

#include "codec/image/bitmap.h"
#include "codec/image/frame_image.h"

#include <cstring>
#include <new>

namespace kestrova {
namespace {

// Source point of destination index i: i * src / dst as a whole part and a
// weight of 0..99 hundredths. Integer arithmetic gives the exact truncation
// of the fraction, with no floating-point rounding at the hundredths.
struct SamplePoint {
    int low;
    int high;
    int weight;
};

SamplePoint Locate(int i, int srcSize, int dstSize) {
    const int64_t scaled = static_cast<int64_t>(i) * srcSize;
    SamplePoint p{};
    p.low = static_cast<int>(scaled / dstSize);
    if (p.low > srcSize - 1)
        p.low = srcSize - 1;
    p.high = p.low + 1 > srcSize - 1 ? srcSize - 1 : p.low + 1;
    p.weight = static_cast<int>((scaled - static_cast<int64_t>(p.low) * dstSize) * 100 / dstSize);
    if (p.weight > 100)
        p.weight = 100;
    return p;
}

} // namespace

std::vector<uint8_t> ResizeBilinearPacked(std::span<const uint8_t> sourceDib, int newWidth,
                                          int newHeight) {
    if (sourceDib.size() < sizeof(BitmapInfoHeader) || newWidth <= 0 || newHeight <= 0 ||
        newWidth > kMaxImageDimension || newHeight > kMaxImageDimension)
        return {};
    BitmapInfoHeader header;
    std::memcpy(&header, sourceDib.data(), sizeof header);
    if (header.bitCount != 24)
        return {};
    const int width = header.width;
    const int height = header.height;
    if (header.size < sizeof header || header.size > sourceDib.size() || width <= 0 ||
        height <= 0 || width > kMaxImageDimension || height > kMaxImageDimension)
        return {};
    const size_t srcStride = static_cast<size_t>(DibStride(width));
    if (sourceDib.size() - header.size < srcStride * static_cast<size_t>(height))
        return {};
    const uint8_t* src = sourceDib.data() + header.size;

    const size_t dstStride = static_cast<size_t>(DibStride(newWidth));
    const size_t pixelBytes = dstStride * static_cast<size_t>(newHeight);
    std::vector<uint8_t> out;
    try {
        out.resize(sizeof header + pixelBytes);
    } catch (const std::bad_alloc&) {
        return {};
    }
    header.size = sizeof header;
    header.width = newWidth;
    header.height = newHeight;
    header.sizeImage = static_cast<uint32_t>(pixelBytes);
    std::memcpy(out.data(), &header, sizeof header);
    uint8_t* dst = out.data() + sizeof header;

    if (newWidth == width && newHeight == height) {
        std::memcpy(dst, src, pixelBytes);
        return out;
    }
    for (int j = 0; j < newHeight; ++j) {
        const SamplePoint y = Locate(j, height, newHeight);
        const int g = y.weight;
        // Rows are counted from the top; the buffer is bottom-up.
        const uint8_t* row0 = src + static_cast<size_t>(height - y.low - 1) * srcStride;
        const uint8_t* row1 = src + static_cast<size_t>(height - y.high - 1) * srcStride;
        uint8_t* outRow = dst + static_cast<size_t>(newHeight - j - 1) * dstStride;
        for (int i = 0; i < newWidth; ++i) {
            const SamplePoint x = Locate(i, width, newWidth);
            const int f = x.weight;
            for (int c = 0; c < 3; ++c) {
                const int p00 = row0[x.low * 3 + c];
                const int p10 = row0[x.high * 3 + c];
                const int p01 = row1[x.low * 3 + c];
                const int p11 = row1[x.high * 3 + c];
                outRow[i * 3 + c] =
                    static_cast<uint8_t>((p00 * (100 - g) * (100 - f) + p01 * (100 - f) * g +
                                          p10 * (100 - g) * f + p11 * g * f) /
                                         10000);
            }
        }
    }
    return out;
}

} // namespace kestrova

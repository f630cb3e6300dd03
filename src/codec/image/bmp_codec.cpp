#include "codec/image/bmp_codec.h"

#include "codec/image/frame_image.h"

#include <cstring>
#include <new>

namespace kestrova::image {
namespace {

template <typename T> T ReadStruct(std::span<const uint8_t> data, size_t offset) {
    T value;
    std::memcpy(&value, data.data() + offset, sizeof value);
    return value;
}

// Dimensions and format that this facility handles: 24-bit, uncompressed,
// bottom-up (positive height).
bool SupportedLayout(const BitmapInfoHeader& h) {
    return h.size >= kBitmapInfoHeaderSize && h.bitCount == 24 && h.compression == kBitmapRgb &&
           h.width > 0 && h.height > 0 && h.width <= kMaxImageDimension &&
           h.height <= kMaxImageDimension;
}

uint64_t PixelBytes(const BitmapInfoHeader& h) {
    return static_cast<uint64_t>(DibStride(h.width)) * static_cast<uint64_t>(h.height);
}

} // namespace

bool DecodeBmp(std::span<const uint8_t> data, std::vector<uint8_t>& dib) {
    dib.clear();
    size_t infoOffset = 0;
    uint64_t pixelOffset = 0;
    const bool fileForm = data.size() >= 2 && data[0] == 'B' && data[1] == 'M';
    if (fileForm)
        infoOffset = kBitmapFileHeaderSize;
    if (data.size() < infoOffset + kBitmapInfoHeaderSize)
        return false;

    const auto info = ReadStruct<BitmapInfoHeader>(data, infoOffset);
    if (!SupportedLayout(info))
        return false;
    if (fileForm) {
        const auto file = ReadStruct<BitmapFileHeader>(data, 0);
        pixelOffset = file.offBits;
        if (pixelOffset < infoOffset + kBitmapInfoHeaderSize)
            return false;
    } else {
        // A 24-bit DIB may still carry an optional colour table after a
        // header that can be longer than 40 bytes.
        pixelOffset = static_cast<uint64_t>(info.size) + static_cast<uint64_t>(info.clrUsed) * 4;
    }
    const uint64_t pixelBytes = PixelBytes(info);
    if (pixelOffset > data.size() || data.size() - pixelOffset < pixelBytes)
        return false;

    std::vector<uint8_t> out;
    try {
        out.resize(sizeof(BitmapInfoHeader) + static_cast<size_t>(pixelBytes));
    } catch (const std::bad_alloc&) {
        return false;
    }
    BitmapInfoHeader header = MakeInfoHeader(info.width, info.height);
    header.xPelsPerMeter = info.xPelsPerMeter;
    header.yPelsPerMeter = info.yPelsPerMeter;
    std::memcpy(out.data(), &header, sizeof header);
    std::memcpy(out.data() + sizeof header, data.data() + pixelOffset,
                static_cast<size_t>(pixelBytes));
    dib = std::move(out);
    return true;
}

const BitmapInfoHeader* ValidPackedDib(std::span<const uint8_t> dib) {
    if (dib.size() < kBitmapInfoHeaderSize)
        return nullptr;
    const auto* header = reinterpret_cast<const BitmapInfoHeader*>(dib.data());
    if (!SupportedLayout(*header) || header->size > dib.size())
        return nullptr;
    if (dib.size() - header->size < PixelBytes(*header))
        return nullptr;
    return header;
}

std::vector<uint8_t> EncodeBmpFile(std::span<const uint8_t> dib) {
    const BitmapInfoHeader* info = ValidPackedDib(dib);
    if (info == nullptr || info->size != kBitmapInfoHeaderSize)
        return {};
    const size_t pixelBytes = static_cast<size_t>(PixelBytes(*info));
    const size_t total = kBitmapFileHeaderSize + kBitmapInfoHeaderSize + pixelBytes;
    if (total > UINT32_MAX)
        return {};
    BitmapFileHeader file{};
    file.type = kBitmapFileType;
    file.size = static_cast<uint32_t>(total);
    file.offBits = kBitmapFileHeaderSize + kBitmapInfoHeaderSize;

    std::vector<uint8_t> out(total);
    std::memcpy(out.data(), &file, sizeof file);
    std::memcpy(out.data() + sizeof file, dib.data(), kBitmapInfoHeaderSize + pixelBytes);
    return out;
}

} // namespace kestrova::image

#include "codec/image/frame_image.h"

#include "codec/image/bmp_codec.h"
#include "codec/image/file_output.h"
#include "codec/image/jpeg_codec.h"
#include "codec/image/resample.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace kestrova {

bool FrameImage::Decode(std::span<const uint8_t> data, ImageFormat format) {
    Destroy();
    switch (format) {
    case ImageFormat::Jpeg:
        return image::DecodeJpeg(data, dib_).Ok();
    case ImageFormat::Bmp:
        return image::DecodeBmp(data, dib_);
    }
    return false;
}

image::JpegResult FrameImage::DecodeJpeg(std::span<const uint8_t> data,
                                         const image::JpegLimits& limits) {
    Destroy();
    return image::DecodeJpeg(data, dib_, limits);
}

int FrameImage::Width() const {
    return IsValid() ? Header()->width : 0;
}

int FrameImage::Height() const {
    return IsValid() ? Header()->height : 0;
}

const BitmapInfoHeader* FrameImage::Header() const {
    return IsValid() ? reinterpret_cast<const BitmapInfoHeader*>(dib_.data()) : nullptr;
}

const uint8_t* FrameImage::Bits() const {
    return IsValid() ? dib_.data() + sizeof(BitmapInfoHeader) : nullptr;
}

uint8_t* FrameImage::Bits() {
    return IsValid() ? dib_.data() + sizeof(BitmapInfoHeader) : nullptr;
}

bool FrameImage::Assign(std::vector<uint8_t> dib) {
    const BitmapInfoHeader* header = image::ValidPackedDib(dib);
    if (header == nullptr || header->size != kBitmapInfoHeaderSize)
        return false;
    dib.resize(kBitmapInfoHeaderSize +
               static_cast<size_t>(DibStride(header->width)) * static_cast<size_t>(header->height));
    dib_ = std::move(dib);
    return true;
}

bool FrameImage::Crop(int left, int top, int right, int bottom) {
    if (!IsValid())
        return false;
    const int width = Width();
    const int height = Height();
    left = std::clamp(left, 0, width);
    right = std::clamp(right, 0, width);
    top = std::clamp(top, 0, height);
    bottom = std::clamp(bottom, 0, height);
    if (left >= right || top >= bottom)
        return false;

    const int newWidth = right - left;
    const int newHeight = bottom - top;
    const size_t srcStride = static_cast<size_t>(DibStride(width));
    const size_t dstStride = static_cast<size_t>(DibStride(newWidth));
    std::vector<uint8_t> out;
    try {
        out.resize(sizeof(BitmapInfoHeader) + dstStride * static_cast<size_t>(newHeight));
    } catch (const std::bad_alloc&) {
        return false;
    }
    BitmapInfoHeader header = *Header();
    header.width = newWidth;
    header.height = newHeight;
    header.sizeImage = static_cast<uint32_t>(dstStride * static_cast<size_t>(newHeight));
    std::memcpy(out.data(), &header, sizeof header);

    // Row k of the new picture (from the top) is row top + k of the old one;
    // both are stored bottom-up.
    const uint8_t* src = Bits();
    uint8_t* dst = out.data() + sizeof header;
    for (int k = 0; k < newHeight; ++k) {
        const uint8_t* from =
            src + static_cast<size_t>(height - 1 - (top + k)) * srcStride + left * 3;
        uint8_t* to = dst + static_cast<size_t>(newHeight - 1 - k) * dstStride;
        std::memcpy(to, from, static_cast<size_t>(newWidth) * 3);
    }
    dib_ = std::move(out);
    return true;
}

bool FrameImage::Resample(int newWidth, int newHeight) {
    if (!IsValid() || newWidth <= 0 || newHeight <= 0 || newWidth > kMaxImageDimension ||
        newHeight > kMaxImageDimension)
        return false;
    if (newWidth == Width() && newHeight == Height())
        return true;
    const size_t dstStride = static_cast<size_t>(DibStride(newWidth));
    std::vector<uint8_t> out;
    try {
        out.resize(sizeof(BitmapInfoHeader) + dstStride * static_cast<size_t>(newHeight));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!image::ResampleBicubic(Bits(), Width(), Height(), Stride(),
                                out.data() + sizeof(BitmapInfoHeader), newWidth, newHeight,
                                static_cast<int>(dstStride)))
        return false;
    BitmapInfoHeader header = *Header();
    header.width = newWidth;
    header.height = newHeight;
    header.sizeImage = static_cast<uint32_t>(dstStride * static_cast<size_t>(newHeight));
    std::memcpy(out.data(), &header, sizeof header);
    dib_ = std::move(out);
    return true;
}

bool FrameImage::Save(const std::string& path, ImageFormat format) const {
    if (!IsValid())
        return false;
    std::vector<uint8_t> bytes;
    try {
        switch (format) {
        case ImageFormat::Bmp:
            bytes = image::EncodeBmpFile(dib_);
            break;
        case ImageFormat::Jpeg:
            image::EncodeJpeg(Bits(), Width(), Height(), Stride(), jpegQuality_, bytes);
            break;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (bytes.empty())
        return false;
    return image::WriteFileAtomically(path, bytes);
}

} // namespace kestrova

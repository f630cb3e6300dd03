#pragma once

#include "codec/image/bitmap.h"
#include "codec/image/jpeg_codec.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrova {

enum class ImageFormat { Bmp = 1, Jpeg = 2 };

// Largest width or height accepted from a JPEG stream; anything bigger is
// refused before a pixel buffer is allocated.
constexpr int kMaxImageDimension = 8192;

// One 24-bit bottom-up bitmap (40-byte header followed by the rows), or none.
class FrameImage {
public:
    FrameImage() = default; // empty

    // Decodes a complete JPEG frame or a BMP (file form or headerless) from
    // memory. On failure the image is empty and false is returned.
    bool Decode(std::span<const uint8_t> data, ImageFormat format);
    // Decodes a JPEG frame within the given limits; the result tells why one failed.
    image::JpegResult DecodeJpeg(std::span<const uint8_t> data, const image::JpegLimits& limits);

    bool IsValid() const { return !dib_.empty(); }
    int Width() const;
    int Height() const;
    int Stride() const { return DibStride(Width()); }

    const BitmapInfoHeader* Header() const; // null when empty
    const uint8_t* Bits() const;            // bottom-up BGR rows, DibStride(width) apart
    uint8_t* Bits();
    std::span<const uint8_t> Dib() const { return dib_; } // header + rows, contiguous

    // Crops to [left, right) x [top, bottom), rows counted from the top. The
    // coordinates are clamped to the picture; an empty rectangle fails and
    // leaves the image as it was.
    bool Crop(int left, int top, int right, int bottom);

    // Resamples in place with a bicubic filter; fails (image unchanged) on a
    // non-positive or oversized target or an empty image.
    bool Resample(int newWidth, int newHeight);

    // Writes the image as a BMP file or a baseline JFIF file (quality 90,
    // 96 dpi). The file appears complete or not at all.
    bool Save(const std::string& path, ImageFormat format) const;

    void Destroy() { std::vector<uint8_t>().swap(dib_); }

    // Takes over a packed DIB built elsewhere (header + rows); false and
    // unchanged when it is not a well-formed 24-bit bottom-up bitmap.
    bool Assign(std::vector<uint8_t> dib);

    int JpegQuality() const { return jpegQuality_; }

private:
    std::vector<uint8_t> dib_;
    int jpegQuality_ = 90;
};

// Bilinear resize to a packed bitmap (40-byte header + rows) used for snapshot
// previews; empty vector when the source is not 24-bit or the size is invalid.
std::vector<uint8_t> ResizeBilinearPacked(std::span<const uint8_t> sourceDib, int newWidth,
                                          int newHeight);

} // namespace kestrova

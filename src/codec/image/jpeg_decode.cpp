#include "codec/image/bitmap.h"
#include "codec/image/frame_image.h"
#include "codec/image/jpeg_codec.h"
#include "codec/image/jpeg_error.h"

#include <climits>
#include <cstring>
#include <new>

namespace kestrova::image {
namespace {

// Owns one decompress object. Every step that may end in a libjpeg error has
// its own setjmp point and keeps no objects with destructors past it, so the
// jump back only skips libjpeg's own C frames.
class JpegReader {
public:
    explicit JpegReader(int maxScans) : maxScans_(maxScans) {
        cinfo_.err = InstallJpegErrorManager(errors_);
    }
    ~JpegReader() {
        if (created_)
            jpeg_destroy_decompress(&cinfo_);
    }
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;

    bool ReadHeader(std::span<const uint8_t> data) {
        if (setjmp(errors_.jump))
            return false;
        created_ = true; // destroying a half-created object is safe
        jpeg_create_decompress(&cinfo_);
        InstallJpegScanGuard(cinfo_, guard_, maxScans_);
        jpeg_mem_src(&cinfo_, data.data(), static_cast<unsigned long>(data.size()));
        jpeg_read_header(&cinfo_, TRUE);
        cinfo_.out_color_space = JCS_EXT_BGR; // also expands greyscale to three channels
        cinfo_.scale_num = 1;
        cinfo_.scale_denom = 1;
        return true;
    }

    int Width() const { return static_cast<int>(cinfo_.image_width); }
    int Height() const { return static_cast<int>(cinfo_.image_height); }
    bool TooManyScans() const { return guard_.tripped; }
    bool Warned() const { return errors_.pub.num_warnings > 0; }

    // Decodes into the given row pointers, top row first. Data cut short comes out as
    // libjpeg pads it (grey), as a camera's viewer has always shown such frames.
    bool ReadPixels(std::span<JSAMPROW> rows) {
        if (setjmp(errors_.jump))
            return false;
        jpeg_start_decompress(&cinfo_);
        if (cinfo_.output_components != 3 || cinfo_.output_width != cinfo_.image_width ||
            cinfo_.output_height != rows.size())
            return false;
        while (cinfo_.output_scanline < cinfo_.output_height) {
            JSAMPARRAY next = rows.data() + cinfo_.output_scanline;
            const auto left = cinfo_.output_height - cinfo_.output_scanline;
            if (jpeg_read_scanlines(&cinfo_, next, left) == 0)
                return false;
        }
        jpeg_abort_decompress(&cinfo_);
        return true;
    }

private:
    jpeg_decompress_struct cinfo_{};
    JpegErrorManager errors_{};
    JpegScanGuard guard_{};
    int maxScans_;
    bool created_ = false;
};

} // namespace

JpegResult DecodeJpeg(std::span<const uint8_t> data, std::vector<uint8_t>& dib,
                      const JpegLimits& limits) {
    dib.clear();
    JpegResult result;
    // A JPEG needs at least SOI, a frame header and a scan.
    if (data.size() < 4 || data.size() > ULONG_MAX)
        return result;
    // Without its end marker the decoder's read-ahead would run off the end
    // of a complete frame and look like a cut one; give it the marker.
    std::vector<uint8_t> terminated;
    if (data[data.size() - 2] != 0xFF || data[data.size() - 1] != 0xD9) {
        try {
            terminated.reserve(data.size() + 2);
            terminated.assign(data.begin(), data.end());
        } catch (const std::bad_alloc&) {
            result.status = JpegStatus::NoMemory;
            return result;
        }
        terminated.push_back(0xFF);
        terminated.push_back(0xD9);
        data = terminated;
    }
    JpegReader reader(limits.maxScans);
    if (!reader.ReadHeader(data))
        return result;
    const int width = reader.Width();
    const int height = reader.Height();
    result.width = width;
    result.height = height;
    if (width <= 0 || height <= 0)
        return result;
    // Checked before any pixel or coefficient memory is taken.
    if (width > limits.maxWidth || height > limits.maxHeight || width > kMaxImageDimension ||
        height > kMaxImageDimension) {
        result.status = JpegStatus::TooLarge;
        return result;
    }

    const size_t stride = static_cast<size_t>(DibStride(width));
    std::vector<uint8_t> out;
    std::vector<JSAMPROW> rows;
    try {
        out.resize(sizeof(BitmapInfoHeader) + stride * static_cast<size_t>(height));
        rows.resize(static_cast<size_t>(height));
    } catch (const std::bad_alloc&) {
        result.status = JpegStatus::NoMemory;
        return result;
    }
    const BitmapInfoHeader header = MakeInfoHeader(width, height);
    std::memcpy(out.data(), &header, sizeof header);
    uint8_t* bits = out.data() + sizeof header;
    // Top scanline goes to the last row of the bottom-up bitmap.
    for (int y = 0; y < height; ++y)
        rows[static_cast<size_t>(y)] = bits + static_cast<size_t>(height - 1 - y) * stride;

    if (!reader.ReadPixels(rows)) {
        result.status = reader.TooManyScans() ? JpegStatus::TooManyScans : JpegStatus::Corrupt;
        return result;
    }
    result.status = JpegStatus::Ok;
    result.warnings = reader.Warned();
    dib = std::move(out);
    return result;
}

std::string DescribeJpegFailure(const JpegResult& result, const JpegLimits& limits) {
    const std::string size = std::to_string(result.width) + " x " + std::to_string(result.height);
    switch (result.status) {
    case JpegStatus::Ok:
        return {};
    case JpegStatus::TooLarge:
        return "The picture is " + size + "; at most " + std::to_string(limits.maxWidth) + " x " +
               std::to_string(limits.maxHeight) + " can be shown.";
    case JpegStatus::TooManyScans:
        return "The picture has more than " + std::to_string(limits.maxScans) +
               " scans; a camera sends one.";
    case JpegStatus::NoMemory:
        return "Out of memory decoding a " + size + " picture.";
    case JpegStatus::Corrupt:
        break;
    }
    return "The picture could not be decoded.";
}

} // namespace kestrova::image

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
    JpegReader() { cinfo_.err = InstallJpegErrorManager(errors_); }
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
        jpeg_mem_src(&cinfo_, data.data(), static_cast<unsigned long>(data.size()));
        jpeg_read_header(&cinfo_, TRUE);
        cinfo_.out_color_space = JCS_EXT_BGR; // also expands greyscale to three channels
        cinfo_.scale_num = 1;
        cinfo_.scale_denom = 1;
        return true;
    }

    int Width() const { return static_cast<int>(cinfo_.image_width); }
    int Height() const { return static_cast<int>(cinfo_.image_height); }

    // Decodes into the given row pointers, top row first.
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
            // Scan data that ended mid-picture leaves grey padding; refuse it
            // rather than show a half frame, and stop at once instead of
            // decoding padding for a picture whose data is missing.
            if (jpeg_read_scanlines(&cinfo_, next, left) == 0 || errors_.hitEndOfData)
                return false;
        }
        jpeg_abort_decompress(&cinfo_);
        return true;
    }

private:
    jpeg_decompress_struct cinfo_{};
    JpegErrorManager errors_{};
    bool created_ = false;
};

} // namespace

bool DecodeJpeg(std::span<const uint8_t> data, std::vector<uint8_t>& dib) {
    dib.clear();
    // A JPEG needs at least SOI, a frame header and a scan.
    if (data.size() < 4 || data.size() > ULONG_MAX)
        return false;
    // Without its end marker the decoder's read-ahead would run off the end
    // of a complete frame and look like a cut one; give it the marker.
    std::vector<uint8_t> terminated;
    if (data[data.size() - 2] != 0xFF || data[data.size() - 1] != 0xD9) {
        try {
            terminated.reserve(data.size() + 2);
            terminated.assign(data.begin(), data.end());
        } catch (const std::bad_alloc&) {
            return false;
        }
        terminated.push_back(0xFF);
        terminated.push_back(0xD9);
        data = terminated;
    }
    JpegReader reader;
    if (!reader.ReadHeader(data))
        return false;
    const int width = reader.Width();
    const int height = reader.Height();
    if (width <= 0 || height <= 0 || width > kMaxImageDimension || height > kMaxImageDimension)
        return false;

    const size_t stride = static_cast<size_t>(DibStride(width));
    std::vector<uint8_t> out;
    std::vector<JSAMPROW> rows;
    try {
        out.resize(sizeof(BitmapInfoHeader) + stride * static_cast<size_t>(height));
        rows.resize(static_cast<size_t>(height));
    } catch (const std::bad_alloc&) {
        return false;
    }
    const BitmapInfoHeader header = MakeInfoHeader(width, height);
    std::memcpy(out.data(), &header, sizeof header);
    uint8_t* bits = out.data() + sizeof header;
    // Top scanline goes to the last row of the bottom-up bitmap.
    for (int y = 0; y < height; ++y)
        rows[static_cast<size_t>(y)] = bits + static_cast<size_t>(height - 1 - y) * stride;

    if (!reader.ReadPixels(rows))
        return false;
    dib = std::move(out);
    return true;
}

} // namespace kestrova::image

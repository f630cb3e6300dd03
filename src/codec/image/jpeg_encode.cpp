#include "codec/image/jpeg_codec.h"
#include "codec/image/jpeg_error.h"

#include <cstdlib>
#include <new>

namespace kestrova::image {
namespace {

// Owns one compress object writing to a libjpeg-allocated memory buffer.
class JpegWriter {
public:
    JpegWriter() { cinfo_.err = InstallJpegErrorManager(errors_); }
    ~JpegWriter() {
        if (created_)
            jpeg_destroy_compress(&cinfo_);
        std::free(buffer_);
    }
    JpegWriter(const JpegWriter&) = delete;
    JpegWriter& operator=(const JpegWriter&) = delete;

    bool Write(const uint8_t* bits, int width, int height, int stride, int quality) {
        if (setjmp(errors_.jump))
            return false;
        created_ = true;
        jpeg_create_compress(&cinfo_);
        jpeg_mem_dest(&cinfo_, &buffer_, &size_);
        cinfo_.image_width = static_cast<JDIMENSION>(width);
        cinfo_.image_height = static_cast<JDIMENSION>(height);
        cinfo_.input_components = 3;
        cinfo_.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&cinfo_);
        jpeg_set_quality(&cinfo_, quality, TRUE);
        cinfo_.write_JFIF_header = TRUE;
        cinfo_.density_unit = 1; // dots per inch
        cinfo_.X_density = 96;
        cinfo_.Y_density = 96;
        jpeg_start_compress(&cinfo_, TRUE);
        while (cinfo_.next_scanline < cinfo_.image_height) {
            // The bitmap is bottom-up; JPEG wants the top row first.
            const auto y = static_cast<int>(cinfo_.next_scanline);
            JSAMPROW row = const_cast<JSAMPROW>(bits + static_cast<size_t>(height - 1 - y) *
                                                           static_cast<size_t>(stride));
            jpeg_write_scanlines(&cinfo_, &row, 1);
        }
        jpeg_finish_compress(&cinfo_);
        return true;
    }

    std::span<const uint8_t> Output() const { return {buffer_, static_cast<size_t>(size_)}; }

private:
    jpeg_compress_struct cinfo_{};
    JpegErrorManager errors_{};
    bool created_ = false;
    unsigned char* buffer_ = nullptr;
    unsigned long size_ = 0;
};

} // namespace

bool EncodeJpeg(const uint8_t* bits, int width, int height, int stride, int quality,
                std::vector<uint8_t>& out) {
    out.clear();
    if (bits == nullptr || width <= 0 || height <= 0 || width > 65500 || height > 65500)
        return false;
    JpegWriter writer;
    if (!writer.Write(bits, width, height, stride, quality))
        return false;
    try {
        const auto bytes = writer.Output();
        out.assign(bytes.begin(), bytes.end());
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

} // namespace kestrova::image

#include "jpeg_encoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace kestrova::sim {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void OnError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

} // namespace

std::vector<uint8_t> EncodeJpeg(const YuvPicture& pic, int quality) {
    if (pic.width <= 0 || pic.height <= 0)
        return {};
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = OnError;
    unsigned char* mem = nullptr;
    unsigned long memSize = 0;
    // Rows are interleaved Y, Cb, Cr with the chroma repeated; libjpeg samples it down again.
    std::vector<uint8_t> row(static_cast<size_t>(pic.width) * 3);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(mem);
        return {};
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &mem, &memSize);
    cinfo.image_width = static_cast<JDIMENSION>(pic.width);
    cinfo.image_height = static_cast<JDIMENSION>(pic.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_YCbCr;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    const int cw = pic.width / 2;
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < pic.width; ++x) {
            const size_t c = static_cast<size_t>(y / 2) * cw + std::min(x / 2, cw - 1);
            row[x * 3] = pic.y[static_cast<size_t>(y) * pic.width + x];
            row[x * 3 + 1] = pic.u[c];
            row[x * 3 + 2] = pic.v[c];
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> out(mem, mem + memSize);
    jpeg_destroy_compress(&cinfo);
    std::free(mem);
    return out;
}

} // namespace kestrova::sim

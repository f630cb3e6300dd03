#include "codec/yuv/yuv_convert.h"

#include <cstddef>

namespace kestrova::yuv {

bool isConvertibleSize(int width, int height) {
    return width > 0 && height > 0 && width % 4 == 0 && height % 2 == 0;
}

bool convertPicture(const ConversionTables& tables, const Kernel& kernel,
                    const PlanarPicture& picture, uint8_t* bgr, int width, int height) {
    if (!isConvertibleSize(width, height) || tables.colour == nullptr || tables.clamp == nullptr ||
        picture.y == nullptr || picture.cb == nullptr || picture.cr == nullptr || bgr == nullptr) {
        return false;
    }
    const std::ptrdiff_t lumaStride = picture.lumaStride != 0 ? picture.lumaStride : width;
    const std::ptrdiff_t chromaStride =
        picture.chromaStride != 0 ? picture.chromaStride : width / 2;
    const std::ptrdiff_t outStride = std::ptrdiff_t{width} * 3;
    for (int line = 0; line < height; line += 2) {
        // Luma line 0 lands in the last output row: the bitmap is bottom-up.
        uint8_t* out0 = bgr + (height - 1 - line) * outStride;
        const RowPair rows{picture.y + line * lumaStride,
                           picture.y + (line + 1) * lumaStride,
                           picture.cb + (line / 2) * chromaStride,
                           picture.cr + (line / 2) * chromaStride,
                           out0,
                           out0 - outStride};
        kernel.convert(tables, rows, width);
    }
    return true;
}

} // namespace kestrova::yuv

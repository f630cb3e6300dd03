#include "codec/yuv/yuv_convert.h"

#include "codec/yuv/bgr_widen.h"

#include <cstddef>

namespace kestrova::yuv {

bool isConvertibleSize(int width, int height) {
    return width > 0 && height > 0 && width % 4 == 0 && height % 2 == 0;
}

namespace {

bool canConvert(const ConversionTables& tables, const PlanarPicture& picture, const void* out,
                int width, int height) {
    return isConvertibleSize(width, height) && tables.colour != nullptr &&
           tables.clamp != nullptr && picture.y != nullptr && picture.cb != nullptr &&
           picture.cr != nullptr && out != nullptr;
}

// The kernel's input for the pair of lines starting at `line` (even).
RowPair linePair(const PlanarPicture& picture, int width, int line, uint8_t* out0, uint8_t* out1) {
    const std::ptrdiff_t lumaStride = picture.lumaStride != 0 ? picture.lumaStride : width;
    const std::ptrdiff_t chromaStride =
        picture.chromaStride != 0 ? picture.chromaStride : width / 2;
    return {picture.y + line * lumaStride,
            picture.y + (line + 1) * lumaStride,
            picture.cb + (line / 2) * chromaStride,
            picture.cr + (line / 2) * chromaStride,
            out0,
            out1};
}

} // namespace

bool convertPicture(const ConversionTables& tables, const Kernel& kernel,
                    const PlanarPicture& picture, uint8_t* bgr, int width, int height) {
    if (!canConvert(tables, picture, bgr, width, height))
        return false;
    const std::ptrdiff_t outStride = std::ptrdiff_t{width} * 3;
    for (int line = 0; line < height; line += 2) {
        // Luma line 0 lands in the last output row: the bitmap is bottom-up.
        uint8_t* out0 = bgr + (height - 1 - line) * outStride;
        kernel.convert(tables, linePair(picture, width, line, out0, out0 - outStride), width);
    }
    return true;
}

bool convertPictureToSurface(const ConversionTables& tables, const Kernel& kernel,
                             const PlanarPicture& picture, const SurfaceTarget& target, int width,
                             int height) {
    if (!canConvert(tables, picture, target.top, width, height) || width > kMaxSurfaceWidth)
        return false;
    const auto rowOf = [&](int line) {
        return target.top + (target.flip ? height - 1 - line : line) * target.stride;
    };
    if (kernel.convertToSurface && !target.mirror) {
        for (int line = 0; line < height; line += 2)
            kernel.convertToSurface(
                tables, linePair(picture, width, line, rowOf(line), rowOf(line + 1)), width);
        return true;
    }
    uint8_t staging[2][kMaxSurfaceWidth * 3];
    const auto widen = target.mirror ? &widenBgrRowReversed : &widenBgrRow;
    for (int line = 0; line < height; line += 2) {
        kernel.convert(tables, linePair(picture, width, line, staging[0], staging[1]), width);
        for (int i = 0; i < 2; ++i)
            widen(staging[i], width, reinterpret_cast<uint32_t*>(rowOf(line + i)));
    }
    return true;
}

} // namespace kestrova::yuv

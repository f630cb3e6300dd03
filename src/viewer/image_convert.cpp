#include "viewer/image_convert.h"

#include <cstring>

namespace kestrova::viewer {

QImage ToQImage(const FrameImage& image) {
    if (!image.IsValid())
        return {};
    const int w = image.Width();
    const int h = image.Height();
    QImage out(w, h, QImage::Format_BGR888);
    if (out.isNull())
        return {};
    const uint8_t* bits = image.Bits();
    for (int r = 0; r < h; ++r)
        std::memcpy(out.scanLine(r), bits + static_cast<std::size_t>(h - 1 - r) * image.Stride(),
                    static_cast<std::size_t>(w) * 3);
    return out;
}

} // namespace kestrova::viewer

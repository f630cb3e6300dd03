#include "viewer/snapshot_builder.h"

#include "codec/image/bitmap.h"
#include "viewer/view_math.h"

#include <cstring>
#include <vector>

namespace kestrova::viewer {

namespace {

std::vector<uint8_t> PackDib(const uint8_t* topDown, int stride, int width, int height) {
    const int dibStride = DibStride(width);
    std::vector<uint8_t> dib(kBitmapInfoHeaderSize + static_cast<std::size_t>(dibStride) *
                                                         static_cast<std::size_t>(height));
    const BitmapInfoHeader header = MakeInfoHeader(width, height);
    std::memcpy(dib.data(), &header, sizeof header);
    uint8_t* rows = dib.data() + kBitmapInfoHeaderSize;
    for (int r = 0; r < height; ++r)
        std::memcpy(rows + static_cast<std::size_t>(height - 1 - r) * dibStride,
                    topDown + static_cast<std::ptrdiff_t>(r) * stride,
                    static_cast<std::size_t>(width) * 3);
    return dib;
}

} // namespace

void BuildSnapshot(const uint8_t* topDown, int stride, int width, int height,
                   const SnapshotZoom& zoom, FrameImage& full, FrameImage& preview) {
    full.Destroy();
    preview.Destroy();
    if (width <= 0 || height <= 0)
        return;
    std::vector<uint8_t> dib = PackDib(topDown, stride, width, height);
    std::vector<uint8_t> packed = ResizeBilinearPacked(dib, kPreviewWidth, kPreviewHeight);
    if (!full.Assign(std::move(dib)))
        full.Destroy();
    if (packed.empty() || !preview.Assign(std::move(packed)))
        preview.Destroy();
    if (!zoom.on)
        return;
    if (full.IsValid()) {
        if (!full.Crop(zoom.x, zoom.y, zoom.x + zoom.width, zoom.y + zoom.height) ||
            !full.Resample(width, height))
            full.Destroy();
    }
    if (preview.IsValid()) {
        const Rect c = PreviewCrop(width, height, zoom.x, zoom.y, zoom.width, zoom.height);
        if (!preview.Crop(c.left, c.top, c.right, c.bottom) ||
            !preview.Resample(kPreviewWidth, kPreviewHeight))
            preview.Destroy();
    }
}

} // namespace kestrova::viewer

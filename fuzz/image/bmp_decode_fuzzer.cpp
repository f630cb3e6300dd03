// Feeds arbitrary bytes to the BMP decoder and the packed bilinear resize, then
// crops and resamples what decoded, so that every size field read from the
// data is exercised against the buffer it describes.
#include "codec/image/frame_image.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const int w = size > 0 ? 1 + data[0] % 24 : 1;
    const int h = size > 1 ? 1 + data[1] % 24 : 1;
    (void)kestrova::ResizeBilinearPacked(bytes, w, h);

    kestrova::FrameImage image;
    if (!image.Decode(bytes, kestrova::ImageFormat::Bmp))
        return 0;
    const int width = image.Width(), height = image.Height();
    if (image.Dib().size() != 40u + static_cast<size_t>(kestrova::DibStride(width)) * height)
        __builtin_trap();
    image.Crop(w - 4, h - 4, width - w / 2, height - h / 2);
    image.Resample(w, h);
    return 0;
}

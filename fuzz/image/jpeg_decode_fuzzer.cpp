// Feeds arbitrary bytes to the JPEG decoder of the frame image. A decoded
// picture is read in full, so that a wrong size or stride shows up as an
// out-of-bounds read under the address sanitizer.
#include "codec/image/frame_image.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kestrova::FrameImage image;
    if (!image.Decode(std::span(data, size), kestrova::ImageFormat::Jpeg))
        return 0;
    const auto dib = image.Dib();
    unsigned sum = 0;
    for (uint8_t b : dib)
        sum += b;
    // The preview path reads the same DIB.
    const auto preview = kestrova::ResizeBilinearPacked(dib, 17, 9);
    if (preview.empty() || sum == 0xFFFFFFFFu)
        __builtin_trap();
    return 0;
}

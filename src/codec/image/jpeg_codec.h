#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kestrova::image {

// Decodes a complete JPEG frame at full scale into a packed 24-bit bottom-up
// DIB (header + rows). Greyscale frames come out with grey in all three
// channels. Corrupt, truncated or oversized data fails; dib is then empty.
bool DecodeJpeg(std::span<const uint8_t> data, std::vector<uint8_t>& dib);

// Encodes bottom-up BGR rows as a baseline JFIF file at the given quality and
// 96 dpi.
bool EncodeJpeg(const uint8_t* bits, int width, int height, int stride, int quality,
                std::vector<uint8_t>& out);

} // namespace kestrova::image

#pragma once

#include "codec/image/bitmap.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kestrova::image {

// Parses a BMP from memory, either a file image (14-byte file header first) or
// a headerless DIB starting with its information header, into a packed DIB
// with a 40-byte header. Only 24-bit uncompressed bottom-up bitmaps are
// accepted; every size field is checked against the bytes given.
bool DecodeBmp(std::span<const uint8_t> data, std::vector<uint8_t>& dib);

// Checks that a packed DIB is a 24-bit uncompressed bottom-up bitmap of sane
// size whose rows are all present; returns the header on success.
const BitmapInfoHeader* ValidPackedDib(std::span<const uint8_t> dib);

// The complete file image of a packed DIB: file header, information header, rows.
std::vector<uint8_t> EncodeBmpFile(std::span<const uint8_t> dib);

} // namespace kestrova::image

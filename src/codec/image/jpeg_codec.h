#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrova::image {

// What a decode may cost, checked from the frame header before any pixel memory is taken
// and while the scans are read. A camera sends baseline pictures (one scan, or three at
// most); a picture with dozens of scans costs a full pass over its coefficients per scan.
struct JpegLimits {
    int maxWidth = 8192;
    int maxHeight = 8192;
    int maxScans = 64;
};

enum class JpegStatus {
    Ok,
    Corrupt,      // not a JPEG, or a fatal decode error
    TooLarge,     // the frame header announces more than the limits allow
    TooManyScans, // more scans than the limit
    NoMemory,
};

struct JpegResult {
    JpegStatus status = JpegStatus::Corrupt;
    int width = 0; // from the frame header, when it was read
    int height = 0;
    bool warnings = false; // decoded, but libjpeg repaired damage (cut data, stray marker)

    bool Ok() const { return status == JpegStatus::Ok; }
};

// Decodes a complete JPEG frame at full scale into a packed 24-bit bottom-up DIB
// (header + rows). Greyscale frames come out with grey in all three channels. Damage that
// libjpeg only warns about (data cut short inside the scan, a stray marker) decodes to
// what libjpeg renders; fatal errors and pictures past the limits fail, leaving dib empty.
JpegResult DecodeJpeg(std::span<const uint8_t> data, std::vector<uint8_t>& dib,
                      const JpegLimits& limits = {});

// A short English sentence for a failed result ("The picture is 8192 x 8192 ...").
std::string DescribeJpegFailure(const JpegResult& result, const JpegLimits& limits);

// Encodes bottom-up BGR rows as a baseline JFIF file at the given quality and
// 96 dpi.
bool EncodeJpeg(const uint8_t* bits, int width, int height, int stride, int quality,
                std::vector<uint8_t>& out);

} // namespace kestrova::image

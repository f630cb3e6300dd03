#pragma once

// The code tables, scans and default matrices of MPEG-4 Visual. Codes are
// listed by symbol number; a symbol's code is the low `len` bits of `code`.

#include <cstdint>

namespace kestrova::mpeg4 {

struct VlcCode {
    uint16_t code;
    uint8_t len;
};

// Macroblock type and chroma pattern of I pictures: symbol = 4 x (type - 3)
// + CBPC for types 3 and 4; symbol 8 is stuffing.
inline constexpr int kMcbpcIntraStuffing = 8;
extern const VlcCode kMcbpcIntra[9];
// P pictures: symbol = 4 x type + CBPC for types 0..4; symbol 20 is stuffing.
inline constexpr int kMcbpcInterStuffing = 20;
extern const VlcCode kMcbpcInter[21];
// Luma coded-block pattern as read for intra macroblocks.
extern const VlcCode kCbpy[16];
// Intra DC size, luma and chroma; symbol = size.
extern const VlcCode kDcSizeLuma[13];
extern const VlcCode kDcSizeChroma[13];
// Motion vector difference magnitudes 0..32; a sign bit follows a non-zero one.
extern const VlcCode kMvMagnitude[33];

// Coefficient (last, run, level) codes; symbol 102 is the escape. A sign bit
// follows every regular symbol.
inline constexpr int kTcoefEscape = 102;
inline constexpr int kTcoefSymbols = 102;
extern const VlcCode kTcoefIntra[103];
extern const uint8_t kTcoefIntraRun[102];
extern const uint8_t kTcoefIntraLevel[102];
inline constexpr int kTcoefIntraFirstLast = 67; // symbols from here have last = 1
extern const VlcCode kTcoefInter[103];
extern const uint8_t kTcoefInterRun[102];
extern const uint8_t kTcoefInterLevel[102];
inline constexpr int kTcoefInterFirstLast = 58;

// Scan orders: position along the scan -> raster index.
extern const uint8_t kZigzagScan[64];
extern const uint8_t kAltHorizontalScan[64];
extern const uint8_t kAltVerticalScan[64];

// Default quantisation weights in raster order.
extern const uint8_t kDefaultIntraMatrix[64];
extern const uint8_t kDefaultInterMatrix[64];

} // namespace kestrova::mpeg4

#pragma once

// Constants shared by the SIMD kernels. They work on 32-bit lanes that each
// hold one raw sample (0 .. 255) and form every table entry exactly:
//   76309 * y  = (y << 16) + 10773 * y
//   104597 * r = (r << 17) - 26475 * r
//   132201 * b = (b << 17) + 1129 * b
//   25675 * b + 53279 * r = (r << 16) + 25675 * b - 12257 * r
// plus one constant per colour for the -16 / -128 sample offsets. All sums
// stay far inside 32 bits, so regrouping them changes no bit of the result.

#include "codec/yuv/yuv_tables.h"

#include <array>
#include <cstdint>

namespace kestrova::yuv::simd {

inline constexpr int16_t kYLow = 10773;
inline constexpr int16_t kRedLow = -26475;
inline constexpr int16_t kBlueLow = 1129;
inline constexpr int16_t kGreenCb = -25675;
inline constexpr int16_t kGreenCrLow = 12257;

static_assert(kYLow + 65536 == kYScale);
static_assert(kRedLow + 2 * 65536 == kCrToRed);
static_assert(kBlueLow + 2 * 65536 == kCbToBlue);
static_assert(-kGreenCb == kCbToGreen);
static_assert(kGreenCrLow - 65536 == -kCrToGreen);

// Offsets of the luma table (-16) and of each chroma term (-128), folded
// into one constant per colour.
inline constexpr int32_t kRedOffset = -kYScale * 16 - kCrToRed * 128;
inline constexpr int32_t kBlueOffset = -kYScale * 16 - kCbToBlue * 128;
inline constexpr int32_t kGreenOffset = -kYScale * 16 + (kCbToGreen + kCrToGreen) * 128;

// Packs two int16 factors into the 32-bit lane a multiply-add consumes.
constexpr int32_t factorPair(int16_t first, int16_t second) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(second)) << 16 |
                                static_cast<uint16_t>(first));
}

// Luma is split by byte position within each 32-bit word, so vector k holds
// pixels k, k+4, k+8, k+12 of a 16-pixel group. After merging the high words
// and packing, a group's 16 bytes hold its pixels in this order:
inline constexpr std::array<int, 16> kPackedPixelOrder = {0, 1, 4, 5, 8,  9,  12, 13,
                                                          2, 3, 6, 7, 10, 11, 14, 15};

// Where each pixel of a 16-pixel group sits after packing: the inverse of a
// packed order.
constexpr std::array<int, 16> packedPositions(const std::array<int, 16>& packedOrder) {
    std::array<int, 16> positionOf{};
    for (int pos = 0; pos < 16; ++pos) {
        positionOf[packedOrder[pos]] = pos;
    }
    return positionOf;
}

// Byte shuffles that interleave packed blue, green and red bytes into 48
// bytes of BGR: masks[chunk][component] picks, for each byte of output chunk,
// the packed position of the pixel whose component lands there (0x80: none).
constexpr std::array<std::array<std::array<uint8_t, 16>, 3>, 3>
makeInterleaveMasks(const std::array<int, 16>& packedOrder) {
    const std::array<int, 16> positionOf = packedPositions(packedOrder);
    std::array<std::array<std::array<uint8_t, 16>, 3>, 3> masks{};
    for (int chunk = 0; chunk < 3; ++chunk) {
        for (int k = 0; k < 16; ++k) {
            const int n = chunk * 16 + k;
            for (int comp = 0; comp < 3; ++comp) {
                masks[chunk][comp][k] =
                    (n % 3 == comp) ? static_cast<uint8_t>(positionOf[n / 3]) : 0x80;
            }
        }
    }
    return masks;
}

inline constexpr auto kInterleaveMasks = makeInterleaveMasks(kPackedPixelOrder);

// The interleave with one shuffle per component when each group's 16 bytes
// hold its even pixels, then its odd ones. Every byte position k of the three
// 16-byte output chunks wants a different component in each chunk, so
// `spread[comp]` moves each component byte to the position where its chunk
// wants it, and `pick[chunk]` selects green (first mask) and red (second
// mask) over blue for that chunk.
inline constexpr std::array<int, 16> kEvenOddPixelOrder = {0, 2, 4, 6, 8, 10, 12, 14,
                                                           1, 3, 5, 7, 9, 11, 13, 15};

struct RotatedInterleave {
    std::array<std::array<uint8_t, 16>, 3> spread{};
    std::array<std::array<std::array<uint8_t, 16>, 2>, 3> pick{};
};

constexpr RotatedInterleave makeRotatedInterleave(const std::array<int, 16>& packedOrder) {
    const std::array<int, 16> positionOf = packedPositions(packedOrder);
    RotatedInterleave r{};
    for (int chunk = 0; chunk < 3; ++chunk) {
        for (int k = 0; k < 16; ++k) {
            const int n = chunk * 16 + k;
            const int comp = n % 3;
            r.spread[comp][k] = static_cast<uint8_t>(positionOf[n / 3]);
            r.pick[chunk][0][k] = comp == 1 ? 0x80 : 0;
            r.pick[chunk][1][k] = comp == 2 ? 0x80 : 0;
        }
    }
    return r;
}

inline constexpr RotatedInterleave kRotatedInterleave = makeRotatedInterleave(kEvenOddPixelOrder);

// The interleave for four 16-pixel groups at once (64 pixels) with two-table byte
// permutes, into blocks of 64 output bytes of `kBytesPerPixel` each (3: packed 24-bit
// rows, 192 bytes; 4: 32-bit surface pixels, 256 bytes, whose fourth byte the caller
// makes opaque): for output block m, `blueGreen` indexes blue (0..63) or green
// (64..127), and `red` indexes red for the bytes set in `redBytes`.
template <int kBytesPerPixel> struct WideInterleave {
    static constexpr int kBlocks = kBytesPerPixel;
    std::array<std::array<uint8_t, 64>, kBlocks> blueGreen{};
    std::array<std::array<uint8_t, 64>, kBlocks> red{};
    std::array<uint64_t, kBlocks> redBytes{};
};

template <int kBytesPerPixel> constexpr WideInterleave<kBytesPerPixel> makeWideInterleave() {
    const std::array<int, 16> positionOf = packedPositions(kPackedPixelOrder);
    WideInterleave<kBytesPerPixel> w{};
    for (int block = 0; block < w.kBlocks; ++block) {
        for (int k = 0; k < 64; ++k) {
            const int n = block * 64 + k;
            const int pixel = n / kBytesPerPixel;
            const auto source = static_cast<uint8_t>(16 * (pixel / 16) + positionOf[pixel % 16]);
            switch (n % kBytesPerPixel) {
            case 0:
                w.blueGreen[block][k] = source;
                break;
            case 1:
                w.blueGreen[block][k] = static_cast<uint8_t>(64 + source);
                break;
            case 2:
                w.red[block][k] = source;
                w.redBytes[block] |= uint64_t{1} << k;
                break;
            default:
                break;
            }
        }
    }
    return w;
}

inline constexpr auto kWideInterleave = makeWideInterleave<3>();
inline constexpr auto kSurfaceInterleave = makeWideInterleave<4>();

} // namespace kestrova::yuv::simd

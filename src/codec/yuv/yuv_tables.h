#pragma once

#include <cstdint>

namespace kestrova::yuv {

// Studio-range BT.601 coefficients in 16.16 fixed point.
inline constexpr int32_t kYScale = 76309;    // 1.164
inline constexpr int32_t kCrToRed = 104597;  // 1.596
inline constexpr int32_t kCbToGreen = 25675; // 0.392, subtracted
inline constexpr int32_t kCrToGreen = 53279; // 0.813, subtracted
inline constexpr int32_t kCbToBlue = 132201; // 2.017

// The clamp table covers every index a colour sum can produce (sum >> 16).
inline constexpr int kClampMin = -384;
inline constexpr int kClampSize = 1024;

// The five look-up tables, one entry per 8-bit sample value.
struct ColourTables {
    int32_t y[256];
    int32_t crToRed[256];
    int32_t cbToGreen[256];
    int32_t crToGreen[256];
    int32_t cbToBlue[256];
};

// What a row kernel reads: the colour tables and the clamp table, whose
// pointer is already offset so that clamp[i] is valid for i in -384 .. 639.
struct ConversionTables {
    const ColourTables* colour = nullptr;
    const uint8_t* clamp = nullptr;
};

void fillColourTables(ColourTables& tables);
// raw must hold kClampSize bytes; returns raw offset to index 0.
uint8_t* fillClampTable(uint8_t* raw);

} // namespace kestrova::yuv

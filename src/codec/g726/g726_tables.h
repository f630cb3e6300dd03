#pragma once

#include <array>
#include <cstdint>

namespace kestrova::g726 {

// Per-rate tables of ITU-T G.726, indexed by the magnitude part of a code
// word (the code with its sign bit removed, one's complement for negative
// codes).
struct RateTables {
    int bits;                     // code word size, 2 .. 5
    std::array<int16_t, 16> dqln; // log2 of the quantised difference, relative to y
    std::array<int16_t, 16> w;    // scale factor multiplier W(I)
    std::array<int16_t, 16> f;    // transition function F(I)
    bool slowLeak;                // 40 kbit/s: zero-predictor leak of 2^-9 instead of 2^-8
};

// Tables for a code word size, or nullptr when the size is not 2 .. 5.
const RateTables* rateTables(int bits);

} // namespace kestrova::g726

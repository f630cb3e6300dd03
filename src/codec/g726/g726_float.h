#pragma once

#include <array>
#include <bit>
#include <cstdint>

// The predictor arithmetic of ITU-T G.726: signals kept in an 11-bit
// floating form and multiplied by the 16-bit predictor coefficients.
namespace kestrova::g726 {

// 11-bit float of a magnitude (at most 15 bits) with its sign bit.
inline uint32_t toFloat(uint32_t sign, uint32_t magnitude) {
    const auto exponent = static_cast<uint32_t>(std::bit_width(magnitude));
    const uint32_t mantissa = magnitude == 0 ? 32 : (magnitude << 6) >> exponent;
    return (sign << 10) + (exponent << 6) + mantissa;
}

namespace detail {

// Exponent and mantissa (exponent << 6 | mantissa) of every 13-bit
// coefficient magnitude, so that a product needs no bit scan.
constexpr std::array<uint16_t, 8192> makeCoefficientFloats() {
    std::array<uint16_t, 8192> t{};
    for (uint32_t mag = 0; mag < 8192; ++mag) {
        const auto exponent = static_cast<uint32_t>(std::bit_width(mag));
        const uint32_t mantissa = mag == 0 ? 32 : (mag << 6) >> exponent;
        t[mag] = static_cast<uint16_t>(exponent << 6 | mantissa);
    }
    return t;
}

inline constexpr std::array<uint16_t, 8192> kCoefficientFloats = makeCoefficientFloats();

} // namespace detail

// Product of coefficient `a` (16-bit two's complement) and the float `f`,
// as a signed value whose low 16 bits are the standard's 16-bit product
// (callers sum products and keep 16 bits).
inline int32_t floatMultiply(uint32_t a, uint32_t f) {
    const int32_t quarter = static_cast<int16_t>(a) >> 2;
    const auto aMag = static_cast<uint32_t>(quarter < 0 ? -quarter & 8191 : quarter);
    const uint32_t aFloat = detail::kCoefficientFloats[aMag];
    const uint32_t exponent = ((f >> 6) & 15) + (aFloat >> 6);
    const uint32_t mantissa = ((f & 63) * (aFloat & 63) + 48) >> 4;
    // (mantissa << 7) scaled by 2^(exponent - 26), kept to 15 bits: one
    // 64-bit shift pair covers both directions.
    const auto magnitude =
        static_cast<int32_t>(((uint64_t{mantissa} << (7 + exponent)) >> 26) & 32767);
    const bool negative = ((f >> 10) != 0) != (quarter < 0);
    return negative ? -magnitude : magnitude;
}

} // namespace kestrova::g726

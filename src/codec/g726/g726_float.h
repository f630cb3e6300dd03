#pragma once

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

// Product of coefficient `a` (16-bit two's complement) and the float `f`,
// as a 16-bit two's complement value.
inline uint32_t floatMultiply(uint32_t a, uint32_t f) {
    const uint32_t aSign = a >> 15;
    const uint32_t aMag = aSign == 0 ? a >> 2 : (16384 - (a >> 2)) & 8191;
    const auto aExp = static_cast<uint32_t>(std::bit_width(aMag));
    const uint32_t aMant = aMag == 0 ? 32 : (aMag << 6) >> aExp;
    const uint32_t sign = (f >> 10) ^ aSign;
    const uint32_t exponent = ((f >> 6) & 15) + aExp;
    const uint32_t mantissa = ((f & 63) * aMant + 48) >> 4;
    const uint32_t magnitude = exponent <= 26 ? (mantissa << 7) >> (26 - exponent)
                                              : ((mantissa << 7) << (exponent - 26)) & 32767;
    return sign == 0 ? magnitude : (65536 - magnitude) & 65535;
}

} // namespace kestrova::g726

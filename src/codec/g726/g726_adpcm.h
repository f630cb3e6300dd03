#pragma once

#include "codec/g726/g726_tables.h"

#include <array>
#include <cstdint>

namespace kestrova::g726 {

// The decoder state of ITU-T G.726 in the standard's own fixed-width
// representations (fields hold the standard's two's complement, sign-
// magnitude or floating bit patterns, never wider values), so that every
// wrap and truncation is the standard's.
struct AdpcmState {
    uint32_t yu = 544;   // fast quantiser scale factor, 13 bits
    uint32_t yl = 34816; // slow quantiser scale factor, 19 bits
    uint32_t dms = 0;    // short-term average magnitude, 12 bits
    uint32_t dml = 0;    // long-term average magnitude, 14 bits
    uint32_t ap = 0;     // speed control, 10 bits
    uint32_t a1 = 0;     // pole predictor coefficients, 16-bit two's complement
    uint32_t a2 = 0;
    // Zero predictor coefficients b1..b6, 16-bit two's complement patterns,
    // in lanes 0..5 (6 and 7 stay 0 for the vector code).
    alignas(32) std::array<int32_t, 8> b{};
    uint32_t pk1 = 0; // signs of the last two partial signal estimates
    uint32_t pk2 = 0;
    // Last six quantised differences (lanes 0..5; 6 and 7 idle) and last two
    // reconstructed signals in the 11-bit floating form (sign, 4-bit
    // exponent, 6-bit mantissa); 32 is the form of zero.
    alignas(32) std::array<int32_t, 8> dq{32, 32, 32, 32, 32, 32, 32, 32};
    uint32_t sr1 = 32;
    uint32_t sr2 = 32;
    uint32_t td = 0; // tone detected
};

// The two blocks in which G.726 decoders in circulation are known to depart
// from the standard, as the standard defines them. Tests substitute other
// definitions to show that a decoder differs in these blocks and nowhere else.
struct StandardBlocks {
    // MIX: y = (yl >> 6) + (yu - (yl >> 6)) * al / 64, the product's
    // magnitude truncated.
    static uint32_t scaleFactor(uint32_t yu, uint32_t yl, uint32_t ap) {
        const uint32_t al = ap >= 256 ? 64 : ap >> 2;
        const uint32_t dif = (yu + 16384 - (yl >> 6)) & 16383;
        const uint32_t difs = dif >> 13;
        const uint32_t difm = difs == 0 ? dif : (16384 - dif) & 8191;
        const uint32_t prodm = (difm * al) >> 6;
        const uint32_t prod = difs == 0 ? prodm : (16384 - prodm) & 16383;
        return ((yl >> 6) + prod) & 8191;
    }
    // At 40 kbit/s the zero predictor leaks by 2^-9 instead of 2^-8.
    static bool slowZeroLeak(const RateTables& tables) { return tables.slowLeak; }
};

// Decodes one code word (its low `tables.bits` bits) and returns the
// reconstructed signal sr, a 16-bit two's complement value. Defined in
// g726_adpcm_impl.h, which the per-frame loop includes so that it inlines.
template <typename Blocks = StandardBlocks>
int16_t decodeCodeWord(AdpcmState& state, const RateTables& tables, unsigned code);

} // namespace kestrova::g726

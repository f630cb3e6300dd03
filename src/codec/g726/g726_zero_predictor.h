#pragma once

#include <cstdint>
#include <cstring>

// The sixth-order zero predictor of ITU-T G.726 on all six taps at once:
// the products of the coefficients b1..b6 with the last six quantised
// differences, and the coefficient update. Eight 32-bit lanes (two of them
// idle) in the compiler's generic vectors, which map onto SSE2 or wider.
//
// The float products are formed without bit scans or variable shifts: a
// 13-bit magnitude converts exactly to a float, whose exponent field is the
// standard's exponent and whose top fraction bits its mantissa; scaling by
// 2^(exponent - 19) is an exact float multiply of a small integer, and
// truncation gives the standard's right shift. The frame loop is compiled
// twice, for plain x86-64 and for AVX2 (one register per vector), and the
// matching one is picked at run time.
namespace kestrova::g726::zero {

using Lanes = int32_t __attribute__((vector_size(32)));
using FloatLanes = float __attribute__((vector_size(32)));

inline constexpr Lanes kUsedLanes = {-1, -1, -1, -1, -1, -1, 0, 0};

[[gnu::always_inline]] inline Lanes load(const int32_t* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

[[gnu::always_inline]] inline void store(int32_t* p, Lanes v) {
    std::memcpy(p, &v, sizeof v);
}

// Sum of the six products b_i x dq_i (16-bit patterns in, sum modulo 2^16
// in the low 16 bits out).
[[gnu::always_inline]] inline int32_t predict(Lanes b, Lanes dq) {
    const Lanes quarter = (b << 16) >> 18; // sign-extended b, arithmetic >> 2
    const Lanes aNeg = quarter < 0;        // -1 where negative
    const Lanes aMag = ((quarter ^ aNeg) - aNeg) & 8191;
    const Lanes aZero = aMag == 0;
    const auto aBits = reinterpret_cast<Lanes>(__builtin_convertvector(aMag, FloatLanes));
    const Lanes aExp = ((aBits >> 23) - 126) & ~aZero;
    const Lanes aMant = (32 | ((aBits >> 18) & 31)) | (aZero & 32);

    const Lanes fExp = (dq >> 6) & 15;
    const Lanes fMant = dq & 63;
    const Lanes fNeg = -((dq >> 10) & 1);

    const FloatLanes product =
        __builtin_convertvector(fMant, FloatLanes) * __builtin_convertvector(aMant, FloatLanes) +
        48.0f;
    const Lanes mantissa = __builtin_convertvector(product * 0.0625f, Lanes);
    const auto scale = reinterpret_cast<FloatLanes>((fExp + aExp + 108) << 23);
    const Lanes magnitude =
        __builtin_convertvector(__builtin_convertvector(mantissa, FloatLanes) * scale, Lanes) &
        32767;
    const Lanes negative = fNeg ^ aNeg;
    const Lanes signedProduct = ((magnitude ^ negative) - negative) & kUsedLanes;
    return signedProduct[0] + signedProduct[1] + signedProduct[2] + signedProduct[3] +
           signedProduct[4] + signedProduct[5];
}

// New coefficients: +-2^-7 by agreement of the signs of dq and each dq_i
// (nothing when dq is zero), minus the leak 2^-8 (2^-9 at 40 kbit/s).
[[gnu::always_inline]] inline Lanes update(Lanes b, Lanes dqHistory, uint32_t dq, int leakShift) {
    const Lanes dqNeg = Lanes{} + static_cast<int32_t>(dq >> 15);
    const Lanes disagree = ((dqHistory >> 10) & 1) != dqNeg; // -1 where signs differ
    const int32_t gain = (dq & 32767) == 0 ? 0 : 128;
    const Lanes ugb = ((Lanes{} + gain) ^ disagree) - disagree;
    const Lanes leak = ((b << 16) >> 16) >> leakShift;
    return ((b + ugb - leak) & 65535) & kUsedLanes;
}

// Shifts the difference history by one and puts `newest` first.
[[gnu::always_inline]] inline Lanes push(Lanes history, int32_t newest) {
    const Lanes shifted = __builtin_shufflevector(history, history, 0, 0, 1, 2, 3, 4, 6, 7);
    return Lanes{newest, 0, 0, 0, 0, 0, 0, 0} + (shifted & Lanes{0, -1, -1, -1, -1, -1, -1, -1});
}

} // namespace kestrova::g726::zero

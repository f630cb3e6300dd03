#pragma once

// The body of the G.726 decoder, block by block in the standard's
// fixed-width arithmetic (names follow the standard's signals).

#include "codec/g726/g726_adpcm.h"
#include "codec/g726/g726_float.h"
#include "codec/g726/g726_zero_predictor.h"

namespace kestrova::g726::detail {

// Sign-extends a 15-bit two's complement value to 16 bits.
inline uint32_t extend15(uint32_t v) {
    return (v >> 14) == 0 ? v : v + 32768;
}

// Quantised difference (sign-magnitude, 16 bits) from its log form.
inline uint32_t reconstructDifference(int dqln, uint32_t dqs, uint32_t y) {
    const uint32_t dql = (static_cast<uint32_t>(dqln + 4096) + (y >> 2)) & 4095;
    if ((dql >> 11) != 0) {
        return dqs << 15; // below the smallest step: magnitude 0
    }
    const uint32_t dex = (dql >> 7) & 15;
    const uint32_t dqt = 128 + (dql & 127);
    return (dqs << 15) + ((dqt << dex) >> 7);
}

inline uint32_t signMagnitudeToTwos(uint32_t dq) {
    return (dq >> 15) == 0 ? dq : (65536 - (dq & 32767)) & 65535;
}

inline bool transitionDetected(uint32_t td, uint32_t yl, uint32_t dqMag) {
    const uint32_t ylint = yl >> 15;
    const uint32_t ylfrac = (yl >> 10) & 31;
    const uint32_t thr2 = ylint > 9 ? 31u << 10 : (32 + ylfrac) << ylint;
    const uint32_t dqthr = (thr2 + (thr2 >> 1)) >> 1;
    return td == 1 && dqMag > dqthr;
}

inline uint32_t updateFastScale(uint32_t y, int wi) {
    const uint32_t dif = (static_cast<uint32_t>(wi * 32 + 131072) - y) & 131071;
    const uint32_t difsx = (dif >> 16) == 0 ? dif >> 5 : (dif >> 5) + 4096;
    const uint32_t yut = (y + difsx) & 8191;
    return yut < 544 ? 544 : (yut > 5120 ? 5120 : yut);
}

inline uint32_t updateSlowScale(uint32_t yup, uint32_t yl) {
    const uint32_t dif = (yup + ((1048576 - yl) >> 6)) & 16383;
    const uint32_t difsx = (dif >> 13) == 0 ? dif : dif + 507904;
    return (yl + difsx) & 524287;
}

inline uint32_t updateShortAverage(uint32_t fi, uint32_t dms) {
    const uint32_t dif = ((fi << 9) + 8192 - dms) & 8191;
    const uint32_t difsx = (dif >> 12) == 0 ? dif >> 5 : (dif >> 5) + 3840;
    return (difsx + dms) & 4095;
}

inline uint32_t updateLongAverage(uint32_t fi, uint32_t dml) {
    const uint32_t dif = ((fi << 11) + 32768 - dml) & 32767;
    const uint32_t difsx = (dif >> 14) == 0 ? dif >> 7 : (dif >> 7) + 16128;
    return (difsx + dml) & 16383;
}

inline uint32_t updateSpeedControl(uint32_t ap, uint32_t y, uint32_t dmsp, uint32_t dmlp,
                                   uint32_t tdp) {
    const uint32_t dif = ((dmsp << 2) + 32768 - dmlp) & 32767;
    const uint32_t difm = (dif >> 14) == 0 ? dif : (32768 - dif) & 16383;
    const uint32_t ax = (y >= 1536 && difm < (dmlp >> 3) && tdp == 0) ? 0 : 1;
    const uint32_t d = ((ax << 9) + 2048 - ap) & 2047;
    const uint32_t dsx = (d >> 10) == 0 ? d >> 4 : (d >> 4) + 896;
    return (dsx + ap) & 1023;
}

inline uint32_t updatePole2(uint32_t a1, uint32_t a2, uint32_t pk0, uint32_t pk1, uint32_t pk2,
                            bool sigpk) {
    uint32_t uga2 = 0;
    if (!sigpk) {
        const uint32_t uga2a = (pk0 ^ pk2) == 0 ? 16384 : 114688;
        uint32_t fa1;
        if ((a1 >> 15) == 0) {
            fa1 = a1 <= 8191 ? a1 << 2 : 8191u << 2;
        } else {
            fa1 = a1 >= 57345 ? (a1 << 2) & 131071 : 24577u << 2;
        }
        const uint32_t fa = (pk0 ^ pk1) == 1 ? fa1 : (131072 - fa1) & 131071;
        const uint32_t uga2b = (uga2a + fa) & 131071;
        uga2 = (uga2b >> 16) == 0 ? uga2b >> 7 : (uga2b >> 7) + 64512;
    }
    const uint32_t ula2 =
        (a2 >> 15) == 0 ? (65536 - (a2 >> 7)) & 65535 : (65536 - ((a2 >> 7) + 65024)) & 65535;
    const uint32_t a2t = (a2 + ((uga2 + ula2) & 65535)) & 65535;
    // Limit to -0.75 .. 0.75.
    if (a2t >= 32768 && a2t <= 53248) {
        return 53248;
    }
    if (a2t >= 12288 && a2t <= 32767) {
        return 12288;
    }
    return a2t;
}

inline uint32_t updatePole1(uint32_t a1, uint32_t a2p, uint32_t pk0, uint32_t pk1, bool sigpk) {
    const uint32_t uga1 = sigpk ? 0 : ((pk0 ^ pk1) == 0 ? 192 : 65344);
    const uint32_t ula1 =
        (a1 >> 15) == 0 ? (65536 - (a1 >> 8)) & 65535 : (65536 - ((a1 >> 8) + 65280)) & 65535;
    const uint32_t a1t = (a1 + ((uga1 + ula1) & 65535)) & 65535;
    // Limit to +-(1 - 2^-4 - a2).
    const uint32_t a1ul = (15360 + 65536 - a2p) & 65535;
    const uint32_t a1ll = (a2p + 65536 - 15360) & 65535;
    if (a1t >= 32768 && a1t <= a1ll) {
        return a1ll;
    }
    if (a1t >= a1ul && a1t <= 32767) {
        return a1ul;
    }
    return a1t;
}

} // namespace kestrova::g726::detail

namespace kestrova::g726 {

template <typename Blocks>
[[gnu::always_inline]] inline int16_t decodeCodeWord(AdpcmState& s, const RateTables& tables,
                                                     unsigned code) {
    // Signal estimate from the zero and pole predictors.
    const zero::Lanes b = zero::load(s.b.data());
    const zero::Lanes dqHistory = zero::load(s.dq.data());
    const int32_t zeroSum = zero::predict(b, dqHistory);
    const auto sezi = static_cast<uint32_t>(zeroSum) & 65535;
    const auto sei =
        static_cast<uint32_t>(zeroSum + floatMultiply(s.a2, s.sr2) + floatMultiply(s.a1, s.sr1)) &
        65535;
    const uint32_t sez = sezi >> 1;
    const uint32_t se = sei >> 1;

    const uint32_t y = Blocks::scaleFactor(s.yu, s.yl, s.ap);

    // Code word: top bit is the sign, the rest a magnitude index
    // (one's complement for negative codes).
    const unsigned signBit = 1u << (tables.bits - 1);
    const uint32_t dqs = (code & signBit) != 0 ? 1 : 0;
    const unsigned index = (dqs != 0 ? ~code : code) & (signBit - 1);

    const uint32_t dq = detail::reconstructDifference(tables.dqln[index], dqs, y);
    const uint32_t dqMag = dq & 32767;
    const uint32_t dqi = detail::signMagnitudeToTwos(dq);
    const uint32_t sr = (dqi + detail::extend15(se)) & 65535;
    const uint32_t dqsez = (dqi + detail::extend15(sez)) & 65535;
    const uint32_t pk0 = dqsez >> 15;
    const bool sigpk = dqsez == 0;

    const bool tr = detail::transitionDetected(s.td, s.yl, dqMag);

    // Scale factor and speed control adaptation.
    const uint32_t yup = detail::updateFastScale(y, tables.w[index]);
    const uint32_t ylp = detail::updateSlowScale(yup, s.yl);
    const auto fi = static_cast<uint32_t>(tables.f[index]);
    const uint32_t dmsp = detail::updateShortAverage(fi, s.dms);
    const uint32_t dmlp = detail::updateLongAverage(fi, s.dml);

    // Predictor adaptation.
    uint32_t a2p = detail::updatePole2(s.a1, s.a2, pk0, s.pk1, s.pk2, sigpk);
    uint32_t a1p = detail::updatePole1(s.a1, a2p, pk0, s.pk1, sigpk);
    zero::Lanes bp = zero::update(b, dqHistory, dq, Blocks::slowZeroLeak(tables) ? 9 : 8);
    const uint32_t tdp = (a2p >= 32768 && a2p < 53760) ? 1 : 0;
    const uint32_t app = detail::updateSpeedControl(s.ap, y, dmsp, dmlp, tdp);

    if (tr) {
        // A transition from a tone: reset the predictor, adapt fast.
        a1p = 0;
        a2p = 0;
        bp = zero::Lanes{};
    }

    s.yu = yup;
    s.yl = ylp;
    s.dms = dmsp;
    s.dml = dmlp;
    s.ap = tr ? 256 : app;
    s.a1 = a1p;
    s.a2 = a2p;
    zero::store(s.b.data(), bp);
    s.td = tr ? 0 : tdp;
    s.pk2 = s.pk1;
    s.pk1 = pk0;
    zero::store(s.dq.data(), zero::push(dqHistory, static_cast<int32_t>(toFloat(dqs, dqMag))));
    s.sr2 = s.sr1;
    const uint32_t srs = sr >> 15;
    s.sr1 = toFloat(srs, srs == 0 ? sr : (65536 - sr) & 32767);
    return static_cast<int16_t>(sr);
}

} // namespace kestrova::g726

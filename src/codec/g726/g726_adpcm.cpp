#include "codec/g726/g726_adpcm_impl.h"

namespace kestrova::g726 {

// Quantiser scale factor from the fast and slow factors and the speed
// control (the product's magnitude is truncated).
uint32_t StandardBlocks::scaleFactor(uint32_t yu, uint32_t yl, uint32_t ap) {
    const uint32_t al = ap >= 256 ? 64 : ap >> 2;
    const uint32_t dif = (yu + 16384 - (yl >> 6)) & 16383;
    const uint32_t difs = dif >> 13;
    const uint32_t difm = difs == 0 ? dif : (16384 - dif) & 8191;
    const uint32_t prodm = (difm * al) >> 6;
    const uint32_t prod = difs == 0 ? prodm : (16384 - prodm) & 16383;
    return ((yl >> 6) + prod) & 8191;
}

template int16_t decodeCodeWord<StandardBlocks>(AdpcmState&, const RateTables&, unsigned);

} // namespace kestrova::g726

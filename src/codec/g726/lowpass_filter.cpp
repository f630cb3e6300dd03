#include "codec/g726/lowpass_filter.h"

#include <algorithm>

namespace kestrova::g726 {

int16_t LowPassFilter::process(int16_t sample) {
    const int32_t x = sample >> 1;
    // Fits 32 bits: |x| <= 2^14 and the outputs stay within 16 bits.
    const int32_t acc = 588 * x + 2353 * m_x[0] + 3530 * m_x[1] + 2354 * m_x[2] + 588 * m_x[3] -
                        3031 * m_y[0] - 2443 * m_y[1] - 751 * m_y[2] - 117 * m_y[3] + 2048;
    const int32_t y = acc >> 12;
    m_x = {static_cast<int16_t>(x), m_x[0], m_x[1], m_x[2]};
    m_y = {static_cast<int16_t>(y), m_y[0], m_y[1], m_y[2]};
    // Doubling a full-scale output would leave 16 bits: saturate, never wrap.
    return static_cast<int16_t>(std::clamp(2 * y, -32768, 32767));
}

} // namespace kestrova::g726

#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

namespace kestrova::g726 {

// The decoder's fixed fourth-order low-pass filter (about 0.9 gain up to
// 1 kHz, practically 0 from 3.5 kHz): the input is halved, filtered in
// Q12 and doubled again, saturating to 16 bits.
class LowPassFilter {
public:
    int16_t process(int16_t sample);

private:
    std::array<int16_t, 4> m_x{}; // previous inputs, most recent first
    std::array<int16_t, 4> m_y{}; // previous outputs, most recent first
};

// Inline: it runs once per decoded sample.
inline int16_t LowPassFilter::process(int16_t sample) {
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

#pragma once

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

} // namespace kestrova::g726

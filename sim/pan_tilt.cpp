#include "pan_tilt.h"

#include <array>
#include <charconv>

namespace kestrova::sim {

std::optional<PanTiltPosition> ParsePanTilt(std::string_view value) {
    std::array<int, 3> v{};
    const char* p = value.data();
    const char* end = value.data() + value.size();
    for (size_t i = 0; i < v.size(); ++i) {
        if (p != end && *p == '+')
            ++p;
        auto [next, ec] = std::from_chars(p, end, v[i]);
        if (ec != std::errc() || next == p)
            return std::nullopt;
        p = next;
        if (i + 1 < v.size()) {
            if (p == end || *p != ',')
                return std::nullopt;
            ++p;
        }
    }
    if (p != end)
        return std::nullopt;
    return PanTiltPosition{v[0], v[1], v[2]};
}

} // namespace kestrova::sim

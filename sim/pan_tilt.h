// The pan/tilt request "pt/ptctrl.cgi?position=pan,tilt,speed".
#pragma once

#include <optional>
#include <string_view>

namespace kestrova::sim {

struct PanTiltPosition {
    int pan = 0, tilt = 0, speed = 0;
};

// Three signed decimal integers separated by commas; nullopt otherwise.
std::optional<PanTiltPosition> ParsePanTilt(std::string_view value);

} // namespace kestrova::sim

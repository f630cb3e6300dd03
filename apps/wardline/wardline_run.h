#pragma once

#include "wardline_options.h"

#include <string>

namespace kestrova::motion {
class MotionHostInterface;
}

namespace kestrova::wardline {

// The set-up the control holds, as JSON: mode, message line, the area set (window
// coordinates after a read) and the view.
std::string SetupJson(const motion::MotionHostInterface& control, int mode);

// Runs the host; returns the process exit code.
int RunWardline(const WardlineOptions& options);

} // namespace kestrova::wardline

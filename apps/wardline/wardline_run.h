#pragma once

#include "wardline_options.h"

#include <string>

namespace kestrova::motion {
class CMotionWindow;
}

namespace kestrova::wardline {

// The set-up the control holds, as JSON: mode, message line, the area set (window
// coordinates after a read) and the view.
std::string SetupJson(const motion::CMotionWindow& window, int mode);

// Runs the host; returns the process exit code.
int RunWardline(const WardlineOptions& options);

} // namespace kestrova::wardline

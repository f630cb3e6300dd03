// Baseline JPEG of a scene picture with libjpeg-turbo.
#pragma once

#include "scene.h"

#include <cstdint>
#include <vector>

namespace kestrova::sim {

// Empty on failure.
std::vector<uint8_t> EncodeJpeg(const YuvPicture& picture, int quality);

} // namespace kestrova::sim

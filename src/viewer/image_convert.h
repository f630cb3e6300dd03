#pragma once

#include "codec/image/frame_image.h"

#include <QImage>

namespace kestrova::viewer {

// A top-down copy of a bottom-up 24-bit frame image; a null image for an empty one.
QImage ToQImage(const FrameImage& image);

} // namespace kestrova::viewer

#pragma once

#include "codec/image/frame_image.h"

#include <string>

namespace kestrova::viewer {

struct SaveTarget {
    std::string path;
    ImageFormat format = ImageFormat::Bmp;
};

// The save-file dialog's answer turned into a file: the JPG filter writes JPEG, the BMP
// filter BMP; a name without an extension gets ".jpg" or ".bmp", a name with any other
// extension keeps it and is still written in the chosen format.
SaveTarget ResolveSaveTarget(const std::string& chosenPath, bool jpgFilter);

// Format the host's save path asks for: JPEG for a ".jpg" or ".jpeg" name (any case).
bool PathWantsJpeg(const std::string& path);

} // namespace kestrova::viewer

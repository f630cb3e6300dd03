#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kestrova::image {

// Writes bytes to path so that the file either appears complete or not at
// all: the data goes to a fresh temporary file in the same folder, which is
// flushed and then renamed over the target. On any failure the temporary file
// is removed and an existing target is left untouched.
bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes);

} // namespace kestrova::image

#pragma once

#include <cstdint>

namespace kestrova::audio {

// PCM layout of the output. The camera's audio always decodes to this, so the
// format is fixed rather than negotiated.
struct AudioFormat {
    int channels = 1;
    int samplesPerSecond = 8000;
    int bitsPerSample = 16;
    int blockAlign = 2;
    int bytesPerSecond = 16000;
};

inline constexpr AudioFormat kOutputFormat{};

// Volume range of the sound buffers, in hundredths of a decibel.
inline constexpr long kVolumeMin = -10000;
inline constexpr long kVolumeMax = 0;

} // namespace kestrova::audio

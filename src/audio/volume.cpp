#include "audio/volume.h"

#include "audio/audio_format.h"

#include <algorithm>
#include <cmath>

namespace kestrova::audio {

long VolumeLevelFromSetting(long setting) {
    if (setting <= 0) {
        return kVolumeMin;
    }
    const double level = std::trunc(2000.0 * std::log10(static_cast<double>(setting) / 9.0));
    return std::clamp(static_cast<long>(level), kVolumeMin, kVolumeMax);
}

float LinearGainFromLevel(long millibels) {
    if (millibels <= kVolumeMin) {
        return 0.0f;
    }
    const long level = std::min(millibels, kVolumeMax);
    return static_cast<float>(std::pow(10.0, static_cast<double>(level) / 2000.0));
}

} // namespace kestrova::audio

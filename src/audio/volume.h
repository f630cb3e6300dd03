#pragma once

namespace kestrova::audio {

// The page's volume setting 0..9 as a buffer level in hundredths of a decibel:
// 0 is silence (-10000), 9 and above full level (0), in between
// 2000 * log10(n / 9) truncated toward zero (1 gives -1908). Negative settings
// count as 0.
long VolumeLevelFromSetting(long setting);

// Linear gain 0..1 for a level in hundredths of a decibel: 10^(level / 2000),
// clamped to the buffer range, with the bottom of the range exactly silent.
float LinearGainFromLevel(long millibels);

} // namespace kestrova::audio

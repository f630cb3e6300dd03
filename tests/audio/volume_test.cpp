#include "audio/volume.h"

#include <gtest/gtest.h>

namespace kestrova::audio {
namespace {

TEST(Volume, PageSettingMapsToHundredthsOfADecibel) {
    EXPECT_EQ(VolumeLevelFromSetting(0), -10000);
    EXPECT_EQ(VolumeLevelFromSetting(-3), -10000);
    EXPECT_EQ(VolumeLevelFromSetting(1), -1908);
    EXPECT_EQ(VolumeLevelFromSetting(3), -954); // 2000 * log10(1/3) = -954.2
    EXPECT_EQ(VolumeLevelFromSetting(5), -510); // -510.5, truncated toward zero
    EXPECT_EQ(VolumeLevelFromSetting(8), -102); // -102.3
    EXPECT_EQ(VolumeLevelFromSetting(9), 0);
    EXPECT_EQ(VolumeLevelFromSetting(100), 0);
    for (long n = 1; n < 9; ++n) {
        EXPECT_LT(VolumeLevelFromSetting(n), VolumeLevelFromSetting(n + 1)) << n;
    }
}

TEST(Volume, LevelToLinearGain) {
    EXPECT_FLOAT_EQ(LinearGainFromLevel(0), 1.0f);
    EXPECT_FLOAT_EQ(LinearGainFromLevel(-2000), 0.1f);
    EXPECT_NEAR(LinearGainFromLevel(-600), 0.501f, 0.001f);
    EXPECT_EQ(LinearGainFromLevel(-10000), 0.0f);
    EXPECT_EQ(LinearGainFromLevel(-20000), 0.0f);
    EXPECT_FLOAT_EQ(LinearGainFromLevel(500), 1.0f);
}

} // namespace
} // namespace kestrova::audio

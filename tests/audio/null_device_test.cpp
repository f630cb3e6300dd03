#include "audio/ds_stream_buffer.h"
#include "audio/notify_events.h"
#include "audio/null_sound_device.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <thread>
#include <vector>

namespace kestrova::audio {
namespace {

using namespace std::chrono_literals;

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::filesystem::path TempWav(const char* name) {
    return std::filesystem::temp_directory_path() /
           (std::string(name) + "_" +
            std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".wav");
}

TEST(NullSoundDevice, FailureSwitchAndDoubleOpen) {
    NullSoundDevice device;
    device.SetFailOpen(true);
    EXPECT_FALSE(device.Open(kOutputFormat));
    EXPECT_FALSE(device.IsOpen());
    device.SetFailOpen(false);
    EXPECT_TRUE(device.Open(kOutputFormat));
    EXPECT_FALSE(device.Open(kOutputFormat)) << "already open";
    device.Close();
    EXPECT_FALSE(device.IsOpen());
    AudioFormat stereo = kOutputFormat;
    stereo.blockAlign = 4;
    stereo.bytesPerSecond = 32000;
    EXPECT_FALSE(device.Open(stereo));
}

TEST(NullSoundDevice, RealClockMovesAt16000BytesPerSecondAndRecordsWhatPlayed) {
    const auto wav = TempWav("null_clock");
    {
        NullSoundDevice device({NullSoundDevice::Clock::Real, wav.string(), 2ms});
        ASSERT_TRUE(device.Open(kOutputFormat));
        CDSStreamBuffer buffer;
        ASSERT_TRUE(buffer.Create(device, kOutputFormat, 2, 160));
        // A ramp in both halves, so the file shows the cursor's order.
        std::vector<std::uint8_t> ramp(1280);
        for (std::size_t i = 0; i < ramp.size(); ++i) {
            ramp[i] = static_cast<std::uint8_t>(i);
        }
        buffer.FillBuffer(0, ramp);
        buffer.FillBuffer(1, ramp);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(buffer.Play(true));
        int wakes = 0;
        while (std::chrono::steady_clock::now() - start < 300ms) {
            if (buffer.WaitEvent(50ms) >= 0) {
                ++wakes;
            }
        }
        buffer.Stop();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double expected = seconds * 16000;
        EXPECT_NEAR(static_cast<double>(device.BytesPlayed()), expected, 0.15 * expected);
        EXPECT_GE(wakes, 6) << "about one event per 40 ms of cursor time";
        buffer.Release();
        device.Close();
    }
    const std::vector<std::uint8_t> file = ReadFile(wav);
    ASSERT_GE(file.size(), 44u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(Le32(file, 24), 8000u);
    EXPECT_EQ(Le32(file, 28), 16000u);
    EXPECT_EQ(Le32(file, 40), file.size() - 44);
    EXPECT_EQ(Le32(file, 4), file.size() - 8);
    ASSERT_GT(file.size(), 44u + 2560u);
    for (std::size_t i = 0; i + 44 < file.size(); ++i) {
        ASSERT_EQ(file[44 + i], static_cast<std::uint8_t>(i % 1280)) << "at " << i;
    }
    std::filesystem::remove(wav);
}

// The clock sleeps until a position is due (here half a second away, with no other
// wake-up), yet whoever reads the cursor meanwhile sees where the clock is, and the
// position is signalled no earlier than its time.
TEST(NullSoundDevice, RealClockSleepsUntilAPositionIsDueButTheCursorIsCurrentWhenRead) {
    NullSoundDevice device({NullSoundDevice::Clock::Real, {}, 10s});
    ASSERT_TRUE(device.Open(kOutputFormat));
    NotifyEvents events(3);
    const Notification notes[] = {{8000, 1}, {Notification::kOffsetStop, 2}};
    auto buf = device.CreateBuffer(16000, notes, [&](int e) { events.Signal(e); });
    ASSERT_NE(buf, nullptr);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(buf->Play(true));
    std::this_thread::sleep_for(150ms);
    const double before =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::size_t cursor = device.Cursor();
    const double after =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(static_cast<double>(cursor), 0.5 * before * 16000) << "the cursor stood still";
    EXPECT_LE(static_cast<double>(cursor), after * 16000 + 2);
    EXPECT_EQ(cursor % 2, 0u);

    EXPECT_EQ(events.WaitAny(3s), 1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 499ms) << "signalled before its time";
    EXPECT_GE(device.Cursor(), 8000u);
    std::this_thread::sleep_for(100ms);
    buf->Stop();
    EXPECT_EQ(events.WaitAny(0ms), 2);
    EXPECT_GE(device.BytesPlayed(), 8000u + 800u) << "what played up to the stop is played";
    buf.reset();
    device.Close();
}

TEST(NullSoundDevice, ManualClockOnlyMovesWhenAdvancedAndBuffersDetachOnRelease) {
    NullSoundDevice device({NullSoundDevice::Clock::Manual, {}, 2ms});
    ASSERT_TRUE(device.Open(kOutputFormat));
    auto buf = device.CreateBuffer(64, {}, {});
    ASSERT_NE(buf, nullptr);
    buf->Play(true);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(device.Cursor(), 0u);
    EXPECT_EQ(device.Advance(70), 70u);
    EXPECT_EQ(device.Cursor(), 6u);
    buf.reset();
    EXPECT_FALSE(device.HasBuffer());
    EXPECT_EQ(device.Advance(10), 0u);
    EXPECT_EQ(device.BytesPlayed(), 70u);
}

} // namespace
} // namespace kestrova::audio

#include "codec/g726/g726.h"
#include "player_rig.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace kestrova::audio {
namespace {

// The player with the camera's real decoder: each half holds exactly one frame
// as a decoder of its own makes it, in order, at every code size.
class G726Playback : public ::testing::TestWithParam<int> {};

TEST_P(G726Playback, HalvesHoldTheDecodedFramesInOrder) {
    const int bits = GetParam();
    constexpr std::uint32_t kFrame = 160;
    std::mt19937 rng(bits);
    std::vector<std::vector<std::uint8_t>> frames(3, std::vector<std::uint8_t>(kFrame));
    for (auto& f : frames) {
        for (auto& b : f) {
            b = static_cast<std::uint8_t>(rng());
        }
    }
    // Reference: the same frames through a state of our own, before the player runs,
    // so the decoder's shared bit reserve is in the same place for both.
    std::vector<std::vector<std::uint8_t>> expected;
    int* state = G726_decoder_create();
    ASSERT_NE(state, nullptr);
    for (auto& f : frames) {
        std::vector<std::int16_t> pcm(4 * f.size() + 1000);
        const int n = G726_dec(state, bits, f.data(), static_cast<int>(f.size()), pcm.data());
        ASSERT_EQ(n, static_cast<int>(8 * f.size()) / bits);
        std::vector<std::uint8_t> half(2 * static_cast<std::size_t>(n));
        std::memcpy(half.data(), pcm.data(), half.size());
        expected.push_back(half);
    }
    G726_decoder_destroy(state);

    testing::FakeWindow window;
    auto device = std::make_shared<NullSoundDevice>(
        NullSoundDevice::Options{NullSoundDevice::Clock::Manual, {}, std::chrono::milliseconds(5)});
    CAudioPlayer player(&window, device); // the G.726 decoder by default
    for (std::size_t i = 0; i < frames.size(); ++i) {
        window.AudioQueue().Add(frames[i], static_cast<std::uint32_t>(40 * i));
    }
    ASSERT_TRUE(player.Open(bits, kFrame));
    ASSERT_TRUE(player.StartThread());
    const std::size_t half = 16 * kFrame / static_cast<std::uint32_t>(bits);
    auto halfAt = [&](int index) {
        const std::vector<std::uint8_t> c = device->Contents();
        return std::vector<std::uint8_t>(c.begin() + index * half, c.begin() + (index + 1) * half);
    };
    ASSERT_TRUE(device->WaitForUnlocks(1, std::chrono::seconds(5)));
    ASSERT_TRUE(testing::WaitUntil([&] { return device->Playing(); }, std::chrono::seconds(5)));
    EXPECT_EQ(halfAt(0), expected[0]);
    device->Advance(half / 2);
    ASSERT_TRUE(device->WaitForUnlocks(2, std::chrono::seconds(5)));
    EXPECT_EQ(halfAt(1), expected[1]);
    device->Advance(half);
    ASSERT_TRUE(device->WaitForUnlocks(3, std::chrono::seconds(5)));
    EXPECT_EQ(halfAt(0), expected[2]);
    EXPECT_TRUE(player.StopThread(2000));
    player.Close();
}

// A half is one decoded frame: 8 times the frame at 2 bits, 4 times at 4 bits.
INSTANTIATE_TEST_SUITE_P(CodeSizes, G726Playback, ::testing::Values(2, 4));

} // namespace
} // namespace kestrova::audio

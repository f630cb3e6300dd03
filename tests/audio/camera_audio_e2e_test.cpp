#include "player_rig.h"
#include "sim/camera_simulator.h"
#include "stream/asf_session.h"
#include "stream/mjpeg_session.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrova::audio {
namespace {

using namespace std::chrono_literals;
using testing::WaitUntil;

// Keeps a copy of every block the camera's decoder hands out, in order.
class TapDecoder final : public BlockDecoder {
public:
    struct Tap {
        std::mutex mutex;
        std::vector<std::vector<std::uint8_t>> blocks;
    };
    TapDecoder(std::unique_ptr<BlockDecoder> inner, std::shared_ptr<Tap> tap)
        : inner_(std::move(inner)), tap_(std::move(tap)) {}
    int Decode(int bits, std::span<const std::uint8_t> frame,
               std::span<std::int16_t> out) override {
        const int n = inner_->Decode(bits, frame, out);
        std::vector<std::uint8_t> bytes(2 * static_cast<std::size_t>(n));
        if (n > 0) {
            std::memcpy(bytes.data(), out.data(), bytes.size());
        }
        std::lock_guard lock(tap_->mutex);
        tap_->blocks.push_back(std::move(bytes));
        return n;
    }

private:
    std::unique_ptr<BlockDecoder> inner_;
    std::shared_ptr<Tap> tap_;
};

// The simulated camera's live stream with 16 kbit/s G.726 audio, received by a
// stream session and played by the audio object into the clocked null device.
// The WAV file holds the camera's tone as decoded, block after block in decode
// order, and lasts as long as the buffer played.
template <typename Session> void PlayCameraToneIntoWav(const char* path) {
    sim::SimOptions options;
    options.width = 160;
    options.height = 120;
    options.fps = 15; // audio comes with each picture: at low rates it bunches past the queue limit
    options.audioBits = 2;
    sim::CameraSimulator camera(options);
    std::string error;
    ASSERT_TRUE(camera.Start(&error)) << error;

    const auto wav = std::filesystem::temp_directory_path() /
                     ("asf_audio_" + std::to_string(::getpid()) + ".wav");
    auto tap = std::make_shared<TapDecoder::Tap>();
    testing::FakeWindow window;
    auto device = std::make_shared<NullSoundDevice>(
        NullSoundDevice::Options{NullSoundDevice::Clock::Real, wav.string(), 2ms});
    CAudioPlayer player(&window, device, [tap, g726 = G726DecoderFactory()] {
        return std::make_unique<TapDecoder>(g726(), tap);
    });
    Session session(window);
    stream::EngineTimings timings;
    timings.stopPause = 50;
    session.SetTimings(timings);
    session.SetAudio(&player);
    session.SetTarget(camera.BaseUrl() + path, options.user, options.password);

    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(WaitUntil([&] { return device->Playing(); }, 10s)) << "audio never started";
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(3s);
    session.RequestStop();
    ASSERT_TRUE(WaitUntil([&] { return !device->Playing(); }, 10s));
    const std::chrono::duration<double> played = std::chrono::steady_clock::now() - t0;
    ASSERT_TRUE(session.StopThread(20000));
    EXPECT_EQ(session.ExitCode(), 0);
    EXPECT_FALSE(player.IsOpen()) << "the stop sequence closed the output";
    EXPECT_EQ(player.FormatCode(), 2);
    const std::size_t half = 8 * player.FrameSize();
    ASSERT_GT(half, 0u);

    std::ifstream in(wav, std::ios::binary);
    const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), {}};
    in.close();
    std::filesystem::remove(wav);
    ASSERT_GT(file.size(), 44u);
    const std::size_t data = file.size() - 44;
    EXPECT_NEAR(static_cast<double>(data), played.count() * 16000, static_cast<double>(half))
        << "the WAV lasts as long as the cursor ran, within one half";

    // Every sounding half is the next decoded block (with silence after a short one).
    // The clock is real, so on a loaded machine a refill can come late: the half
    // then replays what it held or mixes old and new. Such hiccups are counted
    // and must stay rare; the blocks that do sound must come in decode order.
    std::vector<std::vector<std::uint8_t>> blocks;
    {
        std::lock_guard lock(tap->mutex);
        blocks = tap->blocks;
    }
    const auto padded = [&](std::size_t k) {
        std::vector<std::uint8_t> want = blocks[k];
        want.resize(half, 0);
        return want;
    };
    std::size_t next = 0;
    int silent = 0;
    int hiccups = 0;
    int halves = 0;
    for (std::size_t at = 44; at + half <= file.size(); at += half) {
        const std::vector<std::uint8_t> h(file.begin() + at, file.begin() + at + half);
        ++halves;
        if (std::all_of(h.begin(), h.end(), [](auto b) { return b == 0; })) {
            ++silent;
            continue;
        }
        std::size_t found = next;
        while (found < std::min(blocks.size(), next + 3) && h != padded(found)) {
            ++found;
        }
        if (found < std::min(blocks.size(), next + 3)) {
            hiccups += static_cast<int>(found - next); // blocks skipped by a late refill
            next = found + 1;
        } else {
            ++hiccups; // a replayed or half-rewritten half
        }
    }
    ASSERT_LE(hiccups, std::max(3, halves / 20))
        << "halves that are not the next decoded block, out of " << halves;
    std::printf("played %.3f s, WAV %zu bytes (%.3f s), %zu halves sounding, %d silent, "
                "%d hiccups, %zu decoded\n",
                played.count(), data, data / 16000.0, next, silent, hiccups, blocks.size());
    EXPECT_GE(next + 2, blocks.size()) << "decoded blocks that never played";
    EXPECT_GT(next, 50u) << "about 25 blocks a second were played";
    EXPECT_LT(silent, static_cast<int>(next) / 4) << "the queue was rarely empty";

    // And the blocks are the camera's tone: 440 Hz (+-60 Hz warble) at a fair level,
    // once the decoder has adapted.
    for (std::size_t b = 3; b < next; ++b) {
        const auto& blk = blocks[b];
        const std::size_t n = blk.size() / 2;
        ASSERT_GT(n, 0u);
        int crossings = 0;
        double energy = 0;
        std::int16_t prev = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const auto s = static_cast<std::int16_t>(blk[2 * i] | blk[2 * i + 1] << 8);
            energy += static_cast<double>(s) * s;
            if (i > 0 && (s >= 0) != (prev >= 0)) {
                ++crossings;
            }
            prev = s;
        }
        const double hz = crossings / 2.0 / (static_cast<double>(n) / 8000.0);
        const double rms = std::sqrt(energy / static_cast<double>(n));
        EXPECT_NEAR(hz, 440, 90) << "block " << b;
        EXPECT_GT(rms, 2000) << "block " << b;
        EXPECT_LT(rms, 9000) << "block " << b;
    }
}

TEST(CameraAudioEndToEnd, AsfStreamToneReachesTheWavInOrder) {
    PlayCameraToneIntoWav<stream::CAsfSession>("img/video.asf");
}

TEST(CameraAudioEndToEnd, MotionJpegStreamToneReachesTheWavInOrder) {
    PlayCameraToneIntoWav<stream::CMJpegSession>("img/mjpeg.cgi");
}

} // namespace
} // namespace kestrova::audio

#include "player_rig.h"
#include "sim/camera_simulator.h"
#include "sound_check.h"
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
#include <span>
#include <string_view>
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

// The simulated camera's live stream at one G.726 rate, received by a stream session
// and played by the audio object into the clocked null device for `seconds`. Returns
// the WAV body (the sound as played) and the decoder's output in decode order.
struct PlayedTone {
    std::vector<std::int16_t> wav;
    std::vector<std::int16_t> decoded;
    std::size_t frames = 0;
    double seconds = 0;
};

template <typename Session>
void PlayCameraTone(const char* path, int bits, std::chrono::milliseconds length, PlayedTone& out) {
    sim::SimOptions options;
    options.width = 160;
    options.height = 120;
    options.audioBits = bits;
    sim::CameraSimulator camera(options);
    std::string error;
    ASSERT_TRUE(camera.Start(&error)) << error;

    const auto wav = std::filesystem::temp_directory_path() /
                     ("camera_audio_" + std::to_string(::getpid()) + ".wav");
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
    std::this_thread::sleep_for(length);
    session.RequestStop();
    ASSERT_TRUE(WaitUntil([&] { return !device->Playing(); }, 10s));
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_TRUE(session.StopThread(20000));
    EXPECT_EQ(session.ExitCode(), 0);
    EXPECT_FALSE(player.IsOpen()) << "the stop sequence closed the output";
    EXPECT_EQ(player.FormatCode(), bits);

    std::ifstream in(wav, std::ios::binary);
    const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), {}};
    in.close();
    std::filesystem::remove(wav);
    ASSERT_GT(file.size(), 44u);
    out.wav = testing::Samples(std::span(file).subspan(44));
    std::lock_guard lock(tap->mutex);
    out.frames = tap->blocks.size();
    for (const auto& block : tap->blocks) {
        const auto s = testing::Samples(block);
        out.decoded.insert(out.decoded.end(), s.begin(), s.end());
    }
}

// Every rate in both stream kinds: once the first half second has passed, the sound
// runs on without gaps (at most 2 % of 10 ms windows silent, room for a loaded
// machine's timing), and what sounds is the decoder's output sample for sample, in
// order (on an idle machine nothing is repeated or left out).
TEST(CameraAudioEndToEnd, EveryRateInBothStreamKindsPlaysContinuouslyAndInOrder) {
    struct Case {
        const char* kind;
        const char* path;
        int bits;
    };
    const Case cases[] = {
        {"ASF", "img/video.asf", 2},   {"ASF", "img/video.asf", 3},   {"ASF", "img/video.asf", 4},
        {"ASF", "img/video.asf", 5},   {"MJPEG", "img/mjpeg.cgi", 2}, {"MJPEG", "img/mjpeg.cgi", 3},
        {"MJPEG", "img/mjpeg.cgi", 4}, {"MJPEG", "img/mjpeg.cgi", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + std::to_string(c.bits) + " bits");
        PlayedTone tone;
        if (std::string_view(c.kind) == "ASF") {
            PlayCameraTone<stream::CAsfSession>(c.path, c.bits, 2500ms, tone);
        } else {
            PlayCameraTone<stream::CMJpegSession>(c.path, c.bits, 2500ms, tone);
        }
        if (HasFatalFailure()) {
            return;
        }
        constexpr std::size_t kSettle = 4000; // the first half second
        ASSERT_GT(tone.wav.size(), kSettle + 8000u);
        const std::span<const std::int16_t> after = std::span(tone.wav).subspan(kSettle);
        const double silent = testing::SilentShare(after);
        const testing::Alignment a = testing::Align(tone.wav, tone.decoded);
        std::printf("%-5s %d bits: %.3f s played, %zu frames decoded, silent %.1f %% of 10 ms "
                    "windows after 0.5 s; %zu samples sounded in order, %zu foreign, %zu "
                    "skipped, %zu of %zu decoded played\n",
                    c.kind, c.bits, tone.seconds, tone.frames, 100 * silent, a.matched, a.foreign,
                    a.skipped, a.next, tone.decoded.size());
        EXPECT_LE(silent, 0.02);
        // A refill that comes late on a loaded machine lets the cursor into a half that
        // still holds older sound: those samples play again and the start of the new
        // block is passed over. That must stay as rare as the silence; a stall or two of
        // the whole machine (a few frames' worth) is tolerated, a fault that repeats on
        // every half is not.
        const std::size_t perFrame = tone.decoded.size() / std::max<std::size_t>(tone.frames, 1);
        EXPECT_LE(a.foreign + a.skipped, after.size() / 50 + 4 * perFrame)
            << "repeated or left-out samples";
        // The camera sends 8000 samples a second; all that came were decoded and played
        // (the last frame or two may still have been on their way at the stop).
        EXPECT_GE(tone.decoded.size(), static_cast<std::size_t>((tone.seconds - 0.5) * 8000));
        EXPECT_GE(a.next + 2 * 320 + 200, tone.decoded.size()) << "decoded but never played";

        // And it is the camera's tone: 440 Hz (+-60 Hz warble) at a fair level.
        const std::span<const std::int16_t> body =
            std::span(tone.decoded).subspan(std::min<std::size_t>(tone.decoded.size(), 2000));
        ASSERT_GT(body.size(), 8000u);
        int crossings = 0;
        double energy = 0;
        for (std::size_t i = 0; i < body.size(); ++i) {
            energy += static_cast<double>(body[i]) * body[i];
            crossings += i > 0 && (body[i] >= 0) != (body[i - 1] >= 0);
        }
        const double hz = crossings / 2.0 / (static_cast<double>(body.size()) / 8000.0);
        const double rms = std::sqrt(energy / static_cast<double>(body.size()));
        EXPECT_NEAR(hz, 440, 90);
        EXPECT_GT(rms, 2000);
        EXPECT_LT(rms, 9000);
    }
}

} // namespace
} // namespace kestrova::audio

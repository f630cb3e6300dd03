#include "player_rig.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace kestrova::audio {
namespace {

using namespace std::chrono_literals;
using testing::PlayerRig;
using testing::WaitUntil;

constexpr std::int16_t kSilent = 0;

TEST(AudioPlayer, FrameSize160RefillsOneHalfEvery1280BytesOfCursorTime) {
    PlayerRig rig;
    for (std::uint8_t m = 1; m <= 4; ++m) {
        rig.Queue(m, 100 * m);
    }
    ASSERT_TRUE(rig.player.Open(2, 160));
    const auto messages = rig.window.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, stream::WM_AUDIO_READY);
    EXPECT_EQ(rig.device->Contents().size(), 2560u);

    ASSERT_TRUE(rig.Start());
    EXPECT_TRUE(rig.device->Playing());
    EXPECT_TRUE(rig.HalfIs(0, 1));
    EXPECT_EQ(rig.SettledAudioClock(100u), 100u);

    rig.device->Advance(639);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(rig.device->Unlocks(), 1u) << "no refill before the middle of half 0";
    rig.device->Advance(1);
    ASSERT_TRUE(rig.WaitRefills(2));
    EXPECT_TRUE(rig.HalfIs(1, 2));
    EXPECT_TRUE(rig.HalfIs(0, 1)) << "the playing half is left alone";

    ASSERT_TRUE(rig.Step()); // cursor 640 -> 1920, half 0 refilled
    EXPECT_TRUE(rig.HalfIs(0, 3));
    ASSERT_TRUE(rig.Step());
    EXPECT_TRUE(rig.HalfIs(1, 4));
    EXPECT_EQ(rig.SettledAudioClock(400u), 400u);
    EXPECT_EQ(rig.device->Unlocks(), 4u) << "exactly one refill per half period";

    EXPECT_TRUE(rig.player.StopThread(2000));
    EXPECT_EQ(rig.player.ExitCode(), 0);
    EXPECT_FALSE(rig.device->Playing());
    EXPECT_EQ(rig.device->Cursor(), 0u) << "stopped and rewound";
    EXPECT_EQ(rig.window.Messages().size(), 1u) << "a stop on request posts nothing";
}

TEST(AudioPlayer, EmptyQueueAndShortFramesPlaySilence) {
    PlayerRig rig;
    ASSERT_TRUE(rig.player.Open(2, 160));
    rig.Queue(7, 10);
    ASSERT_TRUE(rig.Start());
    EXPECT_TRUE(rig.HalfIs(0, 7));
    ASSERT_TRUE(rig.Step()); // queue empty: half 1 silent
    EXPECT_TRUE(rig.HalfIs(1, kSilent));
    EXPECT_EQ(rig.SettledAudioClock(CAudioPlayer::kSilenceTimestamp),
              CAudioPlayer::kSilenceTimestamp);

    ASSERT_TRUE(rig.Step()); // half 0 held 7s: empty queue overwrites them
    EXPECT_TRUE(rig.HalfIs(0, kSilent));

    rig.Queue(9, 20, 100); // 800 bytes of sound, then silence to the end of the half
    ASSERT_TRUE(rig.Step());
    EXPECT_EQ(rig.SampleAt(1280 + 798), 9);
    EXPECT_EQ(rig.SampleAt(1280 + 800), kSilent);
    EXPECT_EQ(rig.SampleAt(2558), kSilent);
}

TEST(AudioPlayer, SoundOffPlaysSilenceAndDrainsOneFramePerRefill) {
    PlayerRig rig;
    ASSERT_TRUE(rig.player.Open(2, 160));
    for (std::uint8_t m = 1; m <= 4; ++m) {
        rig.Queue(m, m);
    }
    rig.player.SetAudioWanted(false);
    ASSERT_TRUE(rig.Start());
    EXPECT_TRUE(rig.HalfIs(0, kSilent));
    EXPECT_EQ(rig.window.AudioQueue().Count(), 3u);
    ASSERT_TRUE(rig.Step());
    EXPECT_TRUE(rig.HalfIs(1, kSilent));
    EXPECT_EQ(rig.window.AudioQueue().Count(), 2u);
    EXPECT_EQ(rig.SettledAudioClock(CAudioPlayer::kSilenceTimestamp),
              CAudioPlayer::kSilenceTimestamp);

    rig.player.SetAudioWanted(true);
    ASSERT_TRUE(rig.Step());
    EXPECT_TRUE(rig.HalfIs(0, 3)) << "switched on: resumes with the next frame";
    EXPECT_EQ(rig.decoder->calls, 1) << "frames dropped while off are not decoded";
}

TEST(AudioPlayer, FramesMoreThanOneSecondBehindThePictureAreDropped) {
    PlayerRig rig;
    rig.window.SetVideoClock(5000);
    rig.Queue(1, 1000);
    rig.Queue(2, 3999); // 3999 + 1000 < 5000: late
    rig.Queue(3, 4000); // exactly at the tolerance: played
    rig.Queue(4, 4500);
    ASSERT_TRUE(rig.player.Open(2, 160));
    ASSERT_TRUE(rig.Start());
    EXPECT_TRUE(rig.HalfIs(0, 3));
    EXPECT_EQ(rig.SettledAudioClock(4000u), 4000u);
    EXPECT_EQ(rig.window.AudioQueue().Count(), 1u);

    rig.window.SetVideoClock(9000); // the picture runs ahead: everything queued is late
    rig.Queue(5, 7000);
    ASSERT_TRUE(rig.Step());
    EXPECT_TRUE(rig.HalfIs(1, kSilent));
    EXPECT_EQ(rig.window.AudioQueue().Count(), 0u) << "late frames released unplayed";
    EXPECT_EQ(rig.decoder->calls, 1);
}

TEST(AudioPlayer, UnknownFormatCodeGivesEmptyBlocksWithoutCallingTheDecoder) {
    PlayerRig rig;
    rig.Queue(5, 1);
    ASSERT_TRUE(rig.player.Open(6, 160));
    ASSERT_TRUE(rig.Start());
    EXPECT_TRUE(rig.HalfIs(0, kSilent));
    EXPECT_EQ(rig.SettledAudioClock(1u), 1u) << "the frame was taken and its time played";
    EXPECT_EQ(rig.decoder->calls, 0);
}

// Halves hold one decoded frame at every code size; frames of other lengths run on
// into the next half, so the halves played one after another are the decoded frames
// back to back, each sample once, with silence only once the queue is dry.
TEST(AudioPlayer, EveryDecodedSampleAtEveryCodeSizePlaysOnceInOrder) {
    struct Case {
        int bits;
        std::size_t halfBytes; // for a frame size of 60
        std::vector<std::size_t> frames;
    };
    const Case cases[] = {
        {2, 480, {60, 60, 60}},          // the stream's own size: one frame per half
        {3, 320, {60, 60, 60, 60}},      // 160 samples of 8 x 60 / 3
        {4, 240, {60, 90, 30, 60, 120}}, // Motion-JPEG records vary in length
        {5, 192, {61, 7, 200, 60}},      // one frame longer than two halves
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        PlayerRig rig;
        std::vector<std::int16_t> want;
        for (std::size_t i = 0; i < c.frames.size(); ++i) {
            const auto mark = static_cast<std::uint8_t>(i + 1);
            rig.Queue(mark, 10 * mark, c.frames[i]);
            want.insert(want.end(), 8 * c.frames[i] / c.bits, mark);
        }
        ASSERT_TRUE(rig.player.Open(c.bits, 60));
        const std::size_t half = rig.device->Contents().size() / 2;
        EXPECT_EQ(half, c.halfBytes);
        ASSERT_TRUE(rig.Start());
        std::vector<std::int16_t> played;
        int index = 0;
        const auto take = [&] {
            for (std::size_t at = index * half; at < (index + 1) * half; at += 2) {
                played.push_back(rig.SampleAt(at));
            }
            index ^= 1;
        };
        take();
        EXPECT_EQ(rig.SettledAudioClock(10u), 10u);
        while (played.size() < want.size() + half) {
            ASSERT_TRUE(rig.Step());
            take();
        }
        const std::vector<std::int16_t> sounding(played.begin(), played.begin() + want.size());
        EXPECT_EQ(sounding, want);
        EXPECT_TRUE(std::all_of(played.begin() + want.size(), played.end(), [](std::int16_t s) {
            return s == kSilent;
        })) << "silence once the queue is dry";
    }
}

TEST(AudioPlayer, OpenFailsCleanlyWhenTheDeviceOrTheBufferCannotBeMade) {
    PlayerRig rig;
    rig.device->SetFailOpen(true);
    EXPECT_FALSE(rig.player.Open(2, 160));
    EXPECT_FALSE(rig.player.IsOpen());
    EXPECT_FALSE(rig.player.SetVolume(0));
    rig.device->SetFailOpen(false);

    rig.device->SetFailCreateBuffer(true);
    EXPECT_FALSE(rig.player.Open(2, 160));
    EXPECT_FALSE(rig.device->IsOpen()) << "the device is released again";
    rig.device->SetFailCreateBuffer(false);
    EXPECT_FALSE(rig.player.Open(2, 0)) << "no frame size, no buffer";
    rig.decoder->failCreate = true;
    EXPECT_FALSE(rig.player.Open(2, 160)) << "no decoder";
    EXPECT_FALSE(rig.device->IsOpen());
    EXPECT_FALSE(rig.device->HasBuffer());
    rig.decoder->failCreate = false;
    EXPECT_TRUE(rig.window.Messages().empty()) << "WM_AUDIO_READY only when the output opens";

    CAudioPlayer noDevice(&rig.window, nullptr, {});
    EXPECT_FALSE(noDevice.Open(2, 160));
}

TEST(AudioPlayer, VolumeCloseAndReopen) {
    PlayerRig rig;
    ASSERT_TRUE(rig.player.Open(2, 160));
    EXPECT_FALSE(rig.player.Open(2, 160)) << "already open";
    EXPECT_TRUE(rig.player.SetVolume(-1908));
    EXPECT_EQ(rig.device->Volume(), -1908);
    ASSERT_TRUE(rig.Start());
    EXPECT_TRUE(rig.player.StopThread(2000));
    rig.player.Close();
    EXPECT_FALSE(rig.player.IsOpen());
    EXPECT_FALSE(rig.device->IsOpen());
    EXPECT_FALSE(rig.device->HasBuffer());
    EXPECT_FALSE(rig.player.SetVolume(0));

    // The next play sizes its buffer from its own frame size.
    ASSERT_TRUE(rig.player.Open(4, 40));
    EXPECT_EQ(rig.device->Contents().size(), 320u) << "two halves of 80 samples";
    rig.Queue(3, 50, 40);
    ASSERT_TRUE(rig.Start());
    EXPECT_TRUE(rig.HalfIs(0, 3));
}

TEST(AudioPlayer, StopIsSeenWithinTheWaitLimitWhenTheDeviceStopsSignalling) {
    PlayerRig rig; // manual clock that is never advanced: no notification ever comes
    ASSERT_TRUE(rig.player.Open(2, 4000)); // half period 2000 ms
    ASSERT_TRUE(rig.Start());
    std::this_thread::sleep_for(150ms); // well into its wait for a notification
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(rig.player.StopThread(8000));
    const auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_LT(took, 2000ms + 100ms);
    EXPECT_LT(took, CAudioPlayer::kDefaultWaitLimit + 400ms) << "bounded by the wait limit";
    EXPECT_EQ(rig.player.ExitCode(), 0);

    // The stop request itself ends the wait: a limit far beyond the stop's time-out
    // does not hold it up.
    rig.player.SetWaitLimit(60s);
    ASSERT_TRUE(rig.Start());
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(rig.player.StopThread(8000));
    EXPECT_EQ(rig.player.ExitCode(), 0);
}

// A session whose wait for the audio thread timed out still closes the output;
// the thread must survive that and end on its stop request.
TEST(AudioPlayer, CloseWhileTheThreadStillRunsLeavesItHarmless) {
    PlayerRig rig;
    ASSERT_TRUE(rig.player.Open(2, 160));
    rig.Queue(1, 1);
    ASSERT_TRUE(rig.Start());
    rig.player.Close();
    EXPECT_FALSE(rig.device->IsOpen());
    rig.Queue(2, 2);
    std::this_thread::sleep_for(120ms); // at least one wait runs out on the closed output
    EXPECT_FALSE(rig.player.IsFinished());
    EXPECT_TRUE(rig.player.StopThread(2000));
    EXPECT_EQ(rig.player.ExitCode(), 0);
}

TEST(AudioPlayer, FailuresEndTheThreadWithTheirCodeAndStopTheSound) {
    for (auto [fault, code] : {std::pair{testing::MarkDecoder::Fault::OutOfMemory, 100},
                               std::pair{testing::MarkDecoder::Fault::Other, 800}}) {
        PlayerRig rig;
        ASSERT_TRUE(rig.player.Open(2, 160));
        rig.Queue(1, 1);
        rig.Queue(2, 2);
        ASSERT_TRUE(rig.Start());
        {
            std::lock_guard lock(rig.decoder->mutex);
            rig.decoder->fault = fault;
        }
        rig.device->Advance(640);
        ASSERT_TRUE(WaitUntil([&] { return rig.player.IsFinished(); }, 5s));
        EXPECT_EQ(rig.player.ExitCode(), code);
        EXPECT_FALSE(rig.device->Playing());
        const auto messages = rig.window.Messages();
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(messages[1].id, stream::WM_STREAM_ENDED);
        EXPECT_EQ(messages[1].wParam, static_cast<std::uintptr_t>(code));
        EXPECT_TRUE(rig.player.IsOpen()) << "the session's stop sequence closes the output";
    }
}

} // namespace
} // namespace kestrova::audio

namespace kestrova::audio {
namespace {

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Real time on the clocked null device: a producer queues one frame per half
// period under the stream's queue rule while the player runs; the WAV of what
// was played holds the frames whole, in order, and as long as the play lasted.
TEST(AudioPlayerRealClock, WavHoldsTheFramesInOrderAndLastsAsLongAsThePlay) {
    const auto wav = std::filesystem::temp_directory_path() /
                     ("audio_player_" + std::to_string(::getpid()) + ".wav");
    std::chrono::duration<double> played{};
    std::uint64_t bytesPlayed = 0;
    {
        PlayerRig rig({NullSoundDevice::Clock::Real, wav.string(), 2ms});
        ASSERT_TRUE(rig.player.Open(2, 160));
        std::atomic<bool> stop{false};
        std::thread producer([&] {
            for (std::uint8_t m = 1; !stop && m < 250; ++m) {
                stream::CFrameChain& q = rig.window.AudioQueue();
                if (q.Count() > 2) {
                    q.Pop();
                }
                rig.Queue(m, m);
                std::this_thread::sleep_for(80ms);
            }
        });
        ASSERT_TRUE(rig.player.StartThread());
        while (!rig.device->Playing()) {
            std::this_thread::sleep_for(1ms);
        }
        const auto t0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(900ms);
        rig.player.RequestStop();
        while (rig.device->Playing()) {
            std::this_thread::sleep_for(1ms);
        }
        played = std::chrono::steady_clock::now() - t0;
        stop = true;
        producer.join();
        ASSERT_TRUE(rig.player.StopThread(2000));
        bytesPlayed = rig.device->BytesPlayed();
    }
    const std::vector<std::uint8_t> file = ReadAll(wav);
    std::filesystem::remove(wav);
    ASSERT_GT(file.size(), 44u);
    const std::size_t data = file.size() - 44;
    EXPECT_EQ(data, bytesPlayed);
    EXPECT_NEAR(static_cast<double>(data), played.count() * 16000, 1280)
        << "length within one half of the play time";

    int last = 0;
    int sounding = 0;
    const std::size_t halves = data / 1280;
    for (std::size_t h = 0; h < halves; ++h) {
        const std::uint8_t* p = file.data() + 44 + h * 1280;
        const int mark = p[0] | p[1] << 8;
        for (std::size_t i = 0; i < 1280; i += 2) {
            ASSERT_EQ(p[i] | p[i + 1] << 8, mark) << "half " << h << " is one block, whole";
        }
        if (mark != 0) {
            EXPECT_GT(mark, last) << "half " << h << ": in order, nothing played twice";
            last = mark;
            ++sounding;
        }
    }
    EXPECT_GE(sounding, static_cast<int>(halves) / 2) << "mostly sound, not silence";
}

} // namespace
} // namespace kestrova::audio

#include "audio/ds_stream_buffer.h"
#include "audio/qt_ring_reader.h"
#include "audio/qt_sound_device.h"
#include "audio/qt_task_thread.h"
#include "pulse_server.h"

#include <QCoreApplication>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kestrova::audio {
namespace {

using namespace std::chrono_literals;

class QtSoundDeviceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "AudioQtTest";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    static void TearDownTestSuite() { app.reset(); }
    static std::unique_ptr<QCoreApplication> app;
};
std::unique_ptr<QCoreApplication> QtSoundDeviceTest::app;

TEST_F(QtSoundDeviceTest, PlaysThroughTheSinkOrReportsThatThereIsNoDevice) {
    // A private sound server, so the sink path runs on machines without a sound card.
    testing::PulseServer pulse;
    std::string why;
    pulse.Start(why);
    QtSoundDevice device;
    if (!QtSoundDevice::OutputAvailable()) {
        EXPECT_FALSE(device.Open(kOutputFormat)) << "no output device: Open must fail";
        EXPECT_FALSE(device.IsOpen());
        CDSStreamBuffer buffer;
        EXPECT_FALSE(buffer.Create(device, kOutputFormat, 2, 160));
        GTEST_SKIP() << "no audio output device and no sound server here (" << why
                     << "); the sink path was not played";
    }
    ASSERT_TRUE(device.Open(kOutputFormat));
    CDSStreamBuffer buffer;
    ASSERT_TRUE(buffer.Create(device, kOutputFormat, 2, 160));
    EXPECT_TRUE(buffer.SetVolume(-10000)); // silent, the test makes no noise
    std::vector<std::uint8_t> tone(1280);
    for (std::size_t i = 0; i < tone.size(); i += 2) {
        tone[i + 1] = (i / 20) % 2 ? 0x20 : 0xE0;
    }
    buffer.FillBuffer(0, tone);
    buffer.FillBuffer(1, tone);
    ASSERT_TRUE(buffer.Play(true));
    // The sink takes 16000 bytes per second, no faster and no slower: a mid-half event
    // every 80 ms.
    int mids = 0;
    const auto end = std::chrono::steady_clock::now() + 1000ms;
    while (std::chrono::steady_clock::now() < end) {
        const int e = buffer.WaitEvent(100ms);
        if (e == CDSStreamBuffer::kEventMidFirst || e == CDSStreamBuffer::kEventMidSecond) {
            ++mids;
        }
    }
    EXPECT_GE(mids, 9);
    EXPECT_LE(mids, 15);
    EXPECT_TRUE(buffer.Stop());
    buffer.Release();
    device.Close();
}

TEST_F(QtSoundDeviceTest, TaskThreadRunsWorkOnItsOwnThreadInOrderAndWaits) {
    QtTaskThread qt;
    ASSERT_TRUE(qt.Start());
    std::thread::id where;
    qt.Run([&] { where = std::this_thread::get_id(); });
    EXPECT_NE(where, std::this_thread::get_id());

    std::vector<int> order;
    std::vector<std::thread> callers;
    for (int c = 0; c < 3; ++c) {
        callers.emplace_back([&, c] {
            for (int i = 0; i < 20; ++i) {
                qt.Run([&] { order.push_back(c); }); // only ever touched on the Qt thread
            }
        });
    }
    for (auto& t : callers) {
        t.join();
    }
    EXPECT_EQ(order.size(), 60u) << "every caller waited for its own task";

    qt.Stop();
    qt.Run([&] { where = std::this_thread::get_id(); });
    EXPECT_EQ(where, std::this_thread::get_id()) << "stopped: runs in place";
}

// The pull path the sink drives, without a sink: what a read takes and where it
// leaves the cursor.
TEST(RingReader, ReadsAtTheCursorAndFeedsSilenceWhileStopped) {
    std::vector<int> events;
    const Notification notes[] = {{4, 1}, {0, 0}};
    std::shared_ptr<LoopingRing> ring =
        LoopingRing::Make(8, notes, [&](int e) { events.push_back(e); });
    LockedRegion r;
    ASSERT_EQ(ring->Lock(0, 8, r), LockResult::Ok);
    for (int i = 0; i < 8; ++i) {
        r.part1[i] = static_cast<std::uint8_t>(0x10 + i);
    }
    ring->Unlock(r);
    RingReader reader(ring);
    ASSERT_TRUE(reader.isOpen());

    char out[16];
    std::memset(out, 0x7F, sizeof out);
    EXPECT_EQ(reader.read(out, 4), 4);
    EXPECT_EQ(out[0], 0) << "stopped: silence";
    EXPECT_EQ(ring->Cursor(), 0u);

    ring->Play(true);
    EXPECT_EQ(reader.read(out, 7), 6) << "whole samples only";
    EXPECT_EQ(out[0], 0x10);
    EXPECT_EQ(out[5], 0x15);
    EXPECT_EQ(reader.read(out, 4), 4);
    EXPECT_EQ(out[0], 0x16);
    EXPECT_EQ(out[2], 0x10) << "wraps around";
    EXPECT_EQ(events, (std::vector<int>{1, 0}));
    EXPECT_EQ(ring->Cursor(), 2u);

    ring->Play(false);
    std::memset(out, 0x7F, sizeof out);
    EXPECT_EQ(reader.read(out, 8), 8);
    EXPECT_EQ(out[5], 0x17);
    EXPECT_EQ(out[6], 0) << "a one-shot play ends in silence";
    EXPECT_FALSE(ring->Playing());
}

} // namespace
} // namespace kestrova::audio

#include "audio/ds_stream_buffer.h"
#include "audio/null_sound_device.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace kestrova::audio {
namespace {

using std::chrono::milliseconds;

class StreamBufferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device.Open(kOutputFormat));
        ASSERT_TRUE(buffer.Create(device, kOutputFormat, 2, 160));
    }
    // Every event that is set right now, in the order WaitEvent hands them out.
    std::vector<int> Drain() {
        std::vector<int> got;
        for (int e; (e = buffer.WaitEvent(milliseconds(0))) >= 0;) {
            got.push_back(e);
        }
        return got;
    }

    NullSoundDevice device{{NullSoundDevice::Clock::Manual, {}, milliseconds(5)}};
    CDSStreamBuffer buffer;
};

TEST_F(StreamBufferTest, FrameSize160GivesHalvesOf1280AndNotifiesEachQuarter) {
    EXPECT_EQ(buffer.Half(), 1280u);
    EXPECT_EQ(device.Contents().size(), 2560u);
    ASSERT_TRUE(buffer.Play(true));
    device.Advance(639);
    EXPECT_TRUE(Drain().empty());
    device.Advance(1);
    EXPECT_EQ(Drain(), std::vector<int>{CDSStreamBuffer::kEventMidFirst});
    device.Advance(640);
    EXPECT_EQ(Drain(), std::vector<int>{CDSStreamBuffer::kEventHalf});
    device.Advance(640);
    EXPECT_EQ(Drain(), std::vector<int>{CDSStreamBuffer::kEventMidSecond});
    device.Advance(640);
    EXPECT_EQ(Drain(), std::vector<int>{CDSStreamBuffer::kEventStart});

    device.Advance(100);
    ASSERT_TRUE(buffer.Stop());
    EXPECT_EQ(Drain(), std::vector<int>{CDSStreamBuffer::kEventStopped});
    EXPECT_EQ(device.Cursor(), 0u) << "Stop rewinds";
    EXPECT_FALSE(device.Playing());
}

TEST_F(StreamBufferTest, EventsThatPileUpComeOutLowestFirstAndMerge) {
    buffer.Play(true);
    device.Advance(2560 + 1280); // passes 3, 1, 4, 0, 3, 1
    EXPECT_EQ(Drain(), (std::vector<int>{0, 1, 3, 4}));
    EXPECT_EQ(buffer.WaitEvent(milliseconds(20)), -1) << "the wait is bounded";
}

TEST_F(StreamBufferTest, ShortBlockIsFollowedBySilenceLongBlockIsCut) {
    const std::vector<std::uint8_t> loud(3000, 0x55);
    ASSERT_TRUE(buffer.FillBuffer(0, loud));
    ASSERT_TRUE(buffer.FillBuffer(1, loud));
    const std::vector<std::uint8_t> shortBlock(100, 0x11);
    ASSERT_TRUE(buffer.FillBuffer(1, shortBlock));

    const std::vector<std::uint8_t> c = device.Contents();
    EXPECT_TRUE(std::all_of(c.begin(), c.begin() + 1280, [](auto b) { return b == 0x55; }))
        << "a block longer than the half does not spill into the other half";
    EXPECT_TRUE(std::all_of(c.begin() + 1280, c.begin() + 1380, [](auto b) { return b == 0x11; }));
    EXPECT_TRUE(std::all_of(c.begin() + 1380, c.end(), [](auto b) { return b == 0; }))
        << "nothing of the earlier pass stays behind a short block";

    EXPECT_TRUE(buffer.FillBuffer(0, {}));
    const std::vector<std::uint8_t> silent = device.Contents();
    EXPECT_TRUE(std::all_of(silent.begin(), silent.begin() + 1280, [](auto b) { return b == 0; }));
    EXPECT_FALSE(buffer.FillBuffer(2, loud));
}

TEST_F(StreamBufferTest, LostBufferIsRestoredOnceThenTheRefillIsSkipped) {
    const std::vector<std::uint8_t> a(1280, 0x0A), b(1280, 0x0B);
    device.LoseBuffer(1);
    EXPECT_TRUE(buffer.FillBuffer(0, a)) << "restored and locked once more";
    EXPECT_EQ(device.Contents()[0], 0x0A);

    device.LoseBuffer(2);
    EXPECT_FALSE(buffer.FillBuffer(0, b));
    EXPECT_EQ(device.Contents()[0], 0x0A) << "the half keeps its old contents";
}

TEST_F(StreamBufferTest, VolumeIsClampedToTheBufferRange) {
    EXPECT_TRUE(buffer.SetVolume(-1908));
    EXPECT_EQ(device.Volume(), -1908);
    EXPECT_TRUE(buffer.SetVolume(-20000));
    EXPECT_EQ(device.Volume(), -10000);
    buffer.Release();
    EXPECT_FALSE(buffer.SetVolume(0)) << "no buffer to set";
    EXPECT_FALSE(buffer.FillBuffer(0, std::vector<std::uint8_t>(4)));
    EXPECT_FALSE(device.HasBuffer());
}

TEST(StreamBufferCreate, RefusesBadSizesAndDevicesThatCannotMakeTheBuffer) {
    NullSoundDevice device{{NullSoundDevice::Clock::Manual, {}, milliseconds(5)}};
    CDSStreamBuffer buffer;
    EXPECT_FALSE(buffer.Create(device, kOutputFormat, 2, 160)) << "device not open";
    ASSERT_TRUE(device.Open(kOutputFormat));
    EXPECT_FALSE(buffer.Create(device, kOutputFormat, 2, 0));
    EXPECT_FALSE(buffer.Create(device, kOutputFormat, 2, 0xFFFFFFFFu)) << "8 x size overflows";
    EXPECT_FALSE(buffer.Create(device, kOutputFormat, 2, CDSStreamBuffer::kMaxHalf / 8 + 1));
    device.SetFailCreateBuffer(true);
    EXPECT_FALSE(buffer.Create(device, kOutputFormat, 2, 160));
    EXPECT_FALSE(buffer.IsCreated());
    device.SetFailCreateBuffer(false);
    EXPECT_TRUE(buffer.Create(device, kOutputFormat, 2, CDSStreamBuffer::kMaxHalf / 8));
    EXPECT_TRUE(buffer.IsCreated());
}

} // namespace
} // namespace kestrova::audio

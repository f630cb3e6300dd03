#include "audio/looping_ring.h"

#include <gtest/gtest.h>
#include <vector>

namespace kestrova::audio {
namespace {

struct Recorder {
    std::vector<int> events;
    NotifySink Sink() {
        return [this](int e) { events.push_back(e); };
    }
};

TEST(LoopingRing, RejectsUnusableLayouts) {
    const Notification outside[] = {{100, 0}};
    EXPECT_EQ(LoopingRing::Make(0, {}, {}), nullptr);
    EXPECT_EQ(LoopingRing::Make(101, {}, {}), nullptr); // half a sample
    EXPECT_EQ(LoopingRing::Make(100, outside, {}), nullptr);
    const Notification negative[] = {{0, -1}};
    EXPECT_EQ(LoopingRing::Make(100, negative, {}), nullptr);
    EXPECT_NE(LoopingRing::Make(100, {}, {}), nullptr);
}

TEST(LoopingRing, SignalsPositionsInCursorOrderAndZeroAtTheWrap) {
    Recorder rec;
    const Notification notes[] = {
        {0, 0}, {50, 1}, {Notification::kOffsetStop, 2}, {25, 3}, {75, 4}};
    auto ring = LoopingRing::Make(100, notes, rec.Sink());
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(ring->Pull(10, nullptr), 0u) << "a stopped buffer does not move";
    ASSERT_TRUE(ring->Play(true));
    EXPECT_EQ(ring->Pull(24, nullptr), 24u);
    EXPECT_TRUE(rec.events.empty());
    ring->Pull(1, nullptr); // reaches 25
    EXPECT_EQ(rec.events, (std::vector<int>{3}));
    rec.events.clear();
    // One long step past the end: 50, 75, the wrap (0), then 25 again, in that order.
    EXPECT_EQ(ring->Pull(100, nullptr), 100u);
    EXPECT_EQ(rec.events, (std::vector<int>{1, 4, 0, 3}));
    EXPECT_EQ(ring->Cursor(), 25u);
    rec.events.clear();
    ring->Stop();
    ring->Stop(); // already stopped: no second notification
    EXPECT_EQ(rec.events, (std::vector<int>{2}));
}

// The null device's clock sleeps for BytesToNextPromptEvent: Pull must signal exactly there,
// from every cursor position, positions at 0 and on the cursor included.
TEST(LoopingRing, BytesToNextPromptEventIsWhereTheNextSignalComes) {
    Recorder rec;
    const Notification notes[] = {
        {0, 0}, {50, 1}, {Notification::kOffsetStop, 2}, {25, 3}, {75, 4}};
    auto ring = LoopingRing::Make(100, notes, rec.Sink());
    EXPECT_EQ(ring->BytesToNextPromptEvent(), LoopingRing::kNothingDue) << "stopped";
    ring->Play(true);
    for (int step = 0; step < 260; ++step) {
        const std::size_t next = ring->BytesToNextPromptEvent();
        ASSERT_GE(next, 1u);
        ASSERT_LE(next, 25u);
        rec.events.clear();
        ring->Pull(next - 1, nullptr);
        ASSERT_TRUE(rec.events.empty()) << "early, cursor " << ring->Cursor();
        ring->Pull(1, nullptr);
        ASSERT_EQ(rec.events.size(), 1u) << "cursor " << ring->Cursor();
        ring->Pull(static_cast<std::size_t>(step % 7), nullptr); // off the positions too
    }

    auto silent = LoopingRing::Make(100, {}, {});
    silent->Play(true);
    EXPECT_EQ(silent->BytesToNextPromptEvent(), LoopingRing::kNothingDue)
        << "looping, no positions";
    silent->Play(false);
    silent->Pull(30, nullptr);
    EXPECT_EQ(silent->BytesToNextPromptEvent(), 70u) << "a one-shot play ends at the end";

    // Positions that need not come on time are passed over, and signalled on the way.
    rec.events.clear();
    const Notification lazy[] = {{0, 0, false}, {50, 1}, {25, 3, false}};
    auto mixed = LoopingRing::Make(100, lazy, rec.Sink());
    mixed->Play(true);
    EXPECT_EQ(mixed->BytesToNextPromptEvent(), 50u);
    mixed->Pull(50, nullptr);
    EXPECT_EQ(rec.events, (std::vector<int>{3, 1}));
    EXPECT_EQ(mixed->BytesToNextPromptEvent(), 100u) << "a whole turn to the next prompt one";
    mixed->Pull(100, nullptr);
    EXPECT_EQ(rec.events, (std::vector<int>{3, 1, 0, 3, 1}));
}

TEST(LoopingRing, OneShotPlayStopsAtTheEnd) {
    Recorder rec;
    const Notification notes[] = {{Notification::kOffsetStop, 7}};
    auto ring = LoopingRing::Make(8, notes, rec.Sink());
    ring->Play(false);
    EXPECT_EQ(ring->Pull(20, nullptr), 8u);
    EXPECT_FALSE(ring->Playing());
    EXPECT_EQ(rec.events, (std::vector<int>{7}));
}

TEST(LoopingRing, WrappedLockComesInTwoPartsAndKeepsWhatItDoesNotWrite) {
    auto ring = LoopingRing::Make(8, {}, {});
    LockedRegion all;
    ASSERT_EQ(ring->Lock(0, 8, all), LockResult::Ok);
    for (std::size_t i = 0; i < 8; ++i) {
        all.part1[i] = static_cast<std::uint8_t>(i + 1);
    }
    ASSERT_TRUE(ring->Unlock(all));

    LockedRegion r;
    ASSERT_EQ(ring->Lock(6, 4, r), LockResult::Ok);
    EXPECT_EQ(r.len1, 2u);
    EXPECT_EQ(r.len2, 2u);
    EXPECT_EQ(r.part1[0], 7) << "the lock shows the current bytes";
    LockedRegion second;
    EXPECT_EQ(ring->Lock(0, 2, second), LockResult::Failed) << "one lock at a time";
    r.part1[1] = 0xA8;
    r.part2[0] = 0xA1;
    ASSERT_TRUE(ring->Unlock(r));
    EXPECT_EQ(ring->Contents(), (std::vector<std::uint8_t>{0xA1, 2, 3, 4, 5, 6, 7, 0xA8}));
    EXPECT_FALSE(ring->Unlock(r)) << "unlocking twice";

    ring->Play(true);
    ring->SetPosition(6);
    std::vector<std::uint8_t> out(4);
    ring->Pull(4, out.data());
    EXPECT_EQ(out, (std::vector<std::uint8_t>{7, 0xA8, 0xA1, 2}));
}

} // namespace
} // namespace kestrova::audio

#include "viewers/viewer_count.h"

#include <functional>
#include <gtest/gtest.h>

namespace kestrova::bench {
namespace {

constexpr int64_t kMs = 1'000'000;

// Runs the search against a machine that sustains `capacity` viewers; `flaky` makes the
// first try at each listed N fail regardless.
int Search(int first, int most, int capacity, std::vector<int> flaky = {}, int guess = 0) {
    ViewerSearch s(first, most);
    std::map<int, int> tries;
    int steps = 0;
    while (!s.Done() && steps++ < 100) {
        const int n = s.Next();
        const bool unlucky =
            std::find(flaky.begin(), flaky.end(), n) != flaky.end() && tries[n]++ == 0;
        s.Record(n, n <= capacity && !unlucky);
        if (guess > 0 && n == first) {
            s.SkipTo(guess);
            guess = 0;
        }
    }
    EXPECT_TRUE(s.Done());
    return s.Largest();
}

TEST(ViewerSearch, FindsTheCapacityFromAnyStartOrGuess) {
    for (int capacity : {1, 2, 7, 8, 9, 23}) {
        for (int guess : {0, 2, 6, 12, 30}) {
            EXPECT_EQ(Search(1, 40, capacity, {}, guess), capacity)
                << "capacity " << capacity << " guess " << guess;
        }
    }
    EXPECT_EQ(Search(1, 40, 0), 0);        // not even one viewer
    EXPECT_EQ(Search(1, 10, 50), 10);      // stops at the cap
    EXPECT_EQ(Search(5, 40, 3), 3);        // first guess too high
    EXPECT_EQ(Search(1, 40, 9, {}, 9), 9); // guess exactly right
}

TEST(ViewerSearch, OneStalledRunDoesNotLowerTheAnswer) {
    EXPECT_EQ(Search(1, 40, 8, {8}), 8);
    EXPECT_EQ(Search(1, 40, 8, {1, 5, 8}, 12), 8);
    // A failure that repeats is real.
    ViewerSearch s(4, 40);
    s.Record(4, false);
    EXPECT_EQ(s.Next(), 4);
    s.Record(4, false);
    EXPECT_FALSE(s.Done());
    EXPECT_LT(s.Next(), 4);
}

TEST(ViewerSearch, TakesFewStepsFromAGoodGuess) {
    ViewerSearch s(1, 40);
    s.Record(1, true);
    s.SkipTo(10);
    int steps = 1;
    while (!s.Done()) {
        const int n = s.Next();
        s.Record(n, n <= 11);
        ++steps;
    }
    EXPECT_EQ(s.Largest(), 11);
    EXPECT_LE(steps, 6); // 1, 10, 12 (twice), 11
}

TEST(MeasureWindow, CountsComposedPicturesLostFramesAndDelays) {
    // 30 fps for two seconds; the window is the second second.
    std::vector<FrameTiming> frames;
    for (int i = 0; i < 60; ++i) {
        const int64_t sent = i * 1000 * kMs / 30;
        frames.push_back({sent, sent + 5 * kMs});
    }
    frames[40].composedNs = -1; // never composed: lost
    frames[59].composedNs = -1; // sent in the grace period at the end: not lost yet
    const ViewerWindow w = MeasureWindow(frames, 1000 * kMs, 2000 * kMs, 200 * kMs);
    EXPECT_EQ(w.lost, 1u);
    EXPECT_NEAR(w.fps, 28.0, 1e-9); // frames 30..59 less the two never composed
    ASSERT_EQ(w.delayMs.size(), 28u);
    for (double d : w.delayMs)
        EXPECT_DOUBLE_EQ(d, 5.0);

    // A composed picture of an unknown frame counts for the rate but has no delay.
    frames.push_back({-1, 1500 * kMs});
    const ViewerWindow x = MeasureWindow(frames, 1000 * kMs, 2000 * kMs, 200 * kMs);
    EXPECT_NEAR(x.fps, 29.0, 1e-9);
    EXPECT_EQ(x.delayMs.size(), 28u);
}

TEST(Judge, EveryViewerMustKeepTheRateLoseNothingKeepPlayingAndKeepUp) {
    ViewerWindow good;
    good.fps = 30.0;
    good.delayMs = {5, 6, 300}; // one late picture does not move the median
    ViewerWindow slow = good;
    slow.fps = 29.4;
    ViewerWindow lossy = good;
    lossy.lost = 2;
    ViewerWindow ended = good;
    ended.ended = true;
    ViewerWindow lagging = good; // full rate, but living off a growing queue
    lagging.delayMs = {90, 120, 150};

    const StepLimits limits;
    EXPECT_TRUE(Judge({good, good, good}, limits).holds);
    const StepVerdict v = Judge({good, slow, good}, limits);
    EXPECT_FALSE(v.holds);
    EXPECT_DOUBLE_EQ(v.minFps, 29.4);
    EXPECT_FALSE(Judge({good, lossy}, limits).holds);
    EXPECT_EQ(Judge({lossy, lossy}, limits).lost, 4u);
    EXPECT_FALSE(Judge({ended, good}, limits).holds);
    const StepVerdict late = Judge({good, lagging}, limits);
    EXPECT_FALSE(late.holds);
    EXPECT_DOUBLE_EQ(late.worstMedianDelayMs, 120);
    EXPECT_FALSE(Judge({}, limits).holds);
}

} // namespace
} // namespace kestrova::bench

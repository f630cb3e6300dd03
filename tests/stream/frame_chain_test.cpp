#include "stream/frame_chain.h"
#include "stream/stream_thread.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace kestrova::stream {
namespace {

using namespace std::chrono_literals;

TEST(FrameChain, FifoOwnershipAndConcurrentUse) {
    CFrameChain chain;
    EXPECT_EQ(chain.Pop(), nullptr);
    chain.Add({1, 2, 3}, 7);
    chain.Add({4}, 8);
    EXPECT_EQ(chain.Count(), 2u);
    auto r = chain.Pop();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->data, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(r->size, 3u);
    EXPECT_EQ(r->timestamp, 7u);
    chain.Clear();
    EXPECT_EQ(chain.Count(), 0u);

    // One producer, one consumer: every record arrives once and in order.
    constexpr uint32_t kFrames = 20000;
    std::thread producer([&] {
        for (uint32_t i = 0; i < kFrames; ++i)
            chain.Add(std::vector<uint8_t>(i % 5), i);
    });
    uint32_t next = 0;
    while (next < kFrames) {
        if (auto f = chain.Pop()) {
            ASSERT_EQ(f->timestamp, next);
            ASSERT_EQ(f->size, next % 5);
            ++next;
        }
    }
    producer.join();
    EXPECT_EQ(chain.Count(), 0u);
}

struct Window : StreamWindow {
    void PostStreamMessage(uint32_t m, uintptr_t w, intptr_t l) override {
        std::lock_guard lock(mutex);
        posted.push_back({m, w});
    }
    void DrawPicture(const VideoPicture&) override {}
    std::vector<std::pair<uint32_t, uintptr_t>> Posted() {
        std::lock_guard lock(mutex);
        return posted;
    }
    std::mutex mutex;
    std::vector<std::pair<uint32_t, uintptr_t>> posted;
};

struct Worker : CStreamThread {
    using CStreamThread::CStreamThread;
    int Run() override {
        while (!IsStopRequested() && !failNow)
            std::this_thread::sleep_for(1ms);
        return failNow ? failCode : 0;
    }
    std::atomic<bool> failNow{false};
    int failCode = 400;
};

TEST(StreamThread, StopRequestAndReportedCodes) {
    Window window;
    Worker w(&window);
    EXPECT_TRUE(w.IsFinished());
    EXPECT_FALSE(w.Started());
    ASSERT_TRUE(w.Start());
    EXPECT_FALSE(w.Start()); // one run at a time
    EXPECT_TRUE(w.StopThread(5000));
    EXPECT_EQ(w.ExitCode(), 0);
    EXPECT_TRUE(window.Posted().empty()); // a stop on request posts nothing

    ASSERT_TRUE(w.Start());
    w.failNow = true;
    for (int i = 0; i < 5000 && window.Posted().empty(); ++i)
        std::this_thread::sleep_for(1ms);
    ASSERT_EQ(window.Posted().size(), 1u);
    EXPECT_EQ(window.Posted()[0].first, WM_STREAM_ENDED);
    EXPECT_EQ(window.Posted()[0].second, 400u);
    EXPECT_TRUE(w.StopThread(5000));
    EXPECT_TRUE(w.Started());

    // The end callback replaces the posted report.
    std::atomic<int> called{0};
    w.SetEndCallback([&](int code) { called = code; });
    w.failCode = 310;
    ASSERT_TRUE(w.Start());
    EXPECT_TRUE(w.StopThread(5000));
    EXPECT_EQ(called.load(), 310);
    EXPECT_EQ(window.Posted().size(), 1u);
}

TEST(StreamThread, StopThreadGivesUpAfterItsTimeOut) {
    struct Stubborn : CStreamThread {
        int Run() override {
            while (!release)
                std::this_thread::sleep_for(1ms);
            return 0;
        }
        std::atomic<bool> release{false};
    } s;
    ASSERT_TRUE(s.Start());
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(s.StopThread(30));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 30ms);
    s.release = true;
    EXPECT_TRUE(s.StopThread(5000));
}

} // namespace
} // namespace kestrova::stream

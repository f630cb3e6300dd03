// A host's exit waits for Qt's pool threads to be gone from the process, not only joined
// by the pool, and gives up after its limit while one is still at work.
#include "pool_threads_exit.h"

#include <QSemaphore>
#include <QThreadPool>
#include <gtest/gtest.h>
#include <memory>

using kestrova::host::WaitForPoolThreadsToEnd;

TEST(PoolThreadsExit, WaitsForEndedPoolThreadsAndGivesUpOnBusyOnes) {
    QSemaphore started, release;
    auto pool = std::make_unique<QThreadPool>();
    pool->setMaxThreadCount(4);
    for (int i = 0; i < 4; ++i)
        pool->start([&] {
            started.release();
            release.acquire();
        });
    started.acquire(4); // each thread names itself once it runs
    EXPECT_FALSE(WaitForPoolThreadsToEnd(std::chrono::milliseconds(50)))
        << "the pool's threads are still at work";
    release.release(4);
    pool.reset(); // joins the threads as Qt sees them
    EXPECT_TRUE(WaitForPoolThreadsToEnd(std::chrono::seconds(5)));
}

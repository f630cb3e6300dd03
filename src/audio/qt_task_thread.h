#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace kestrova::audio {

// A thread with a Qt event loop of its own, for Qt objects that other threads
// drive. Work is handed over through a plain locked queue, and the caller waits
// for it: nothing that one thread allocates is freed by the other, and every
// hand-over is visible to thread checkers. Each hand-over counts up an event
// counter (eventfd) that the loop watches, so the loop sleeps until there is work
// instead of looking for it on a timer, and nothing crosses threads inside Qt.
// Needs a QCoreApplication while it runs.
class QtTaskThread {
public:
    QtTaskThread() = default;
    ~QtTaskThread() { Stop(); }
    QtTaskThread(const QtTaskThread&) = delete;
    QtTaskThread& operator=(const QtTaskThread&) = delete;

    // Starts the thread once; true when it runs.
    bool Start();
    // Runs `task` on the thread and waits for it; on the thread itself, or when the
    // thread does not run, runs it at once.
    void Run(const std::function<void()>& task);
    // Ends the loop and joins the thread.
    void Stop();

private:
    void Loop();
    // Runs the queued tasks; true when the loop should end.
    bool Drain();
    // Tells the loop there is work; a wake before the loop runs is kept until it does.
    void Wake();

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<const std::function<void()>*> tasks_;
    std::uint64_t queued_ = 0;
    std::uint64_t done_ = 0;
    bool quit_ = false;
    int wakeFd_ = -1; // the event counter, while the thread runs
};

} // namespace kestrova::audio

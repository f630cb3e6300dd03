#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class QEventLoop;
class QObject;

namespace kestrova::audio {

// A thread with a Qt event loop of its own, for Qt objects that other threads
// drive. Work is handed over through a plain locked queue, and the caller waits
// for it: nothing that one thread allocates is freed by the other, and every
// hand-over is visible to thread checkers. Each hand-over posts one queued call
// to an object living in the thread, so the loop sleeps until there is work
// instead of looking for it on a timer. Needs a QCoreApplication while it runs.
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
    // Posts a drain to the loop (mutex_ held); tasks queued before the loop exists are
    // drained when it starts.
    void WakeLocked();

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<const std::function<void()>*> tasks_;
    std::uint64_t queued_ = 0;
    std::uint64_t done_ = 0;
    bool quit_ = false;
    // The loop and the object that receives the posted drains, while the loop runs.
    QObject* receiver_ = nullptr;
    QEventLoop* loop_ = nullptr;
};

} // namespace kestrova::audio

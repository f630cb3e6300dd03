#pragma once

#include "stream/stream_window.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace kestrova::stream {

// Base of the sessions, the display paths and the audio object: a worker thread with a
// cooperative stop. A thread that never ran counts as finished.
class CStreamThread {
public:
    explicit CStreamThread(StreamWindow* window = nullptr) : window_(window) {}
    virtual ~CStreamThread();
    CStreamThread(const CStreamThread&) = delete;
    CStreamThread& operator=(const CStreamThread&) = delete;

    // Starts the thread when the previous run has finished; false otherwise.
    bool Start();
    // Asks the thread to stop and waits until it finished or the time-out passed; it never
    // forces the thread. True when the thread has finished.
    bool StopThread(uint32_t timeoutMs);
    // Asks the thread to stop and waits for it however long it takes. Owners call it before
    // they release anything the thread reads or draws into, so a stop that timed out never
    // leaves the thread working on freed objects.
    void StopAndJoin();
    void RequestStop() {
        stopRequest_.store(true);
        OnStopRequested();
    }

    bool IsFinished() const { return finished_.load(); }
    bool IsStopRequested() const { return stopRequest_.load(); }
    bool Started() const { return started_.load(); } // set at the first start, never cleared
    int ExitCode() const { return exitCode_.load(); }

    // Replaces the posted WM_STREAM_ENDED report with a plain call (motion control).
    void SetEndCallback(std::function<void(int)> callback) { endCallback_ = std::move(callback); }
    void SetWindow(StreamWindow* window) { window_ = window; }
    StreamWindow* Window() const { return window_; }

protected:
    virtual int Run() = 0;
    // Called on the thread with a non-zero result of Run.
    virtual void ReportEnd(int code);
    // Called on the thread after Run: why it ended, in the engine's words (empty: no text).
    virtual std::string EndText() const { return {}; }
    void SleepMs(uint32_t ms) const;
    // Called after the stop request is set, on the requesting thread: a thread that blocks
    // on something else than a time-out wakes itself here.
    virtual void OnStopRequested() {}
    const std::atomic<bool>& StopFlag() const { return stopRequest_; }

    // Joins the finished thread of an earlier run (call from owner threads only).
    void Reap();

private:
    void Entry();

    StreamWindow* window_;
    std::function<void(int)> endCallback_;
    std::atomic<bool> stopRequest_{false};
    std::atomic<bool> finished_{true};
    std::atomic<bool> started_{false};
    std::atomic<int> exitCode_{0};
    // Signalled when the thread finishes, for StopThread's wait.
    std::mutex finishMutex_;
    std::condition_variable finishedCv_;
    std::thread thread_;
};

} // namespace kestrova::stream

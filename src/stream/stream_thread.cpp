#include "stream/stream_thread.h"

#include <chrono>

namespace kestrova::stream {

CStreamThread::~CStreamThread() {
    RequestStop();
    if (thread_.joinable())
        thread_.join();
}

bool CStreamThread::Start() {
    if (!finished_.load())
        return false;
    Reap();
    // Flags are cleared before the thread exists so that a stop asked right after the
    // start cannot be lost.
    stopRequest_.store(false);
    finished_.store(false);
    started_.store(true);
    try {
        thread_ = std::thread([this] { Entry(); });
    } catch (...) {
        finished_.store(true);
        return false;
    }
    return true;
}

void CStreamThread::Reap() {
    if (thread_.joinable() && finished_.load() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

bool CStreamThread::StopThread(uint32_t timeoutMs) {
    RequestStop();
    {
        std::unique_lock lock(finishMutex_);
        if (!finishedCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [this] { return finished_.load(); }))
            return false;
    }
    Reap();
    return true;
}

void CStreamThread::StopAndJoin() {
    RequestStop();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void CStreamThread::Entry() {
    int code = 800;
    try {
        code = Run();
    } catch (...) {
        code = 800; // every subclass catches at its own boundary; this is the last net
    }
    exitCode_.store(code);
    {
        std::lock_guard lock(finishMutex_);
        finished_.store(true);
    }
    finishedCv_.notify_all();
    if (code != 0)
        ReportEnd(code);
}

void CStreamThread::ReportEnd(int code) {
    if (window_) {
        const std::string text = EndText();
        if (!text.empty())
            window_->StreamDiagnostic(code, text);
    }
    if (endCallback_)
        endCallback_(code);
    else if (window_)
        window_->PostStreamMessage(WM_STREAM_ENDED, static_cast<uintptr_t>(code), 0);
}

void CStreamThread::SleepMs(uint32_t ms) const {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace kestrova::stream

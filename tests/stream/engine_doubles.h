#pragma once

// Test doubles for the engine's collaborators: a scripted stream source, a window that
// records what is posted and drawn, and display and audio consumers.

#include "stream/consumers.h"
#include "stream/engine_timings.h"
#include "stream/stream_source.h"
#include "stream/stream_thread.h"
#include "stream/stream_window.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrova::stream::testing {

inline EngineTimings FastTimings() {
    EngineTimings t;
    t.connectTimeout = 300;
    t.connectSettle = 1;
    t.readTimeout = 300;
    t.sessionStop = 5000;
    t.consumerStop = 1000;
    t.readerJoin = 500;
    t.stopPause = 5;
    t.readerSettle = 1;
    return t;
}

// Serves canned bytes. It can refuse the open, hang in it, or stall or end after a number
// of bytes; every blocking call returns on Abort().
class ScriptedSource : public StreamSource {
public:
    enum class OpenMode { Succeed, Fail, Hang };
    explicit ScriptedSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    OpenMode openMode = OpenMode::Succeed;
    std::size_t stallAt = SIZE_MAX; // reads block here until aborted
    bool endAtLast = true;          // after the bytes: end of stream (else stall)
    std::size_t piece = SIZE_MAX;   // most bytes one ReadSome hands over (a camera's pieces)

    bool Open(const std::string& url, const std::string& user,
              const std::string& password) override {
        std::unique_lock lock(mutex_);
        this->url = url;
        this->user = user;
        this->password = password;
        ++opens;
        if (openMode == OpenMode::Hang)
            cv_.wait(lock, [this] { return aborted_; });
        return openMode == OpenMode::Succeed && !aborted_;
    }
    long Read(std::span<uint8_t> buffer) override { return Take(buffer, false); }
    long ReadSome(std::span<uint8_t> buffer) override { return Take(buffer, true); }
    void Abort() override {
        std::lock_guard lock(mutex_);
        aborted_ = true;
        cv_.notify_all();
    }
    void Close() override {}
    bool Aborted() {
        std::lock_guard lock(mutex_);
        return aborted_;
    }
    std::size_t Served() {
        std::lock_guard lock(mutex_);
        return pos_;
    }

    std::string url, user, password;
    int opens = 0;

private:
    long Take(std::span<uint8_t> buffer, bool some) {
        std::unique_lock lock(mutex_);
        const std::size_t limit = std::min(stallAt, bytes_.size());
        const std::size_t n = std::min(some ? std::min(buffer.size(), piece) : buffer.size(),
                                       limit - std::min(pos_, limit));
        std::memcpy(buffer.data(), bytes_.data() + pos_, n);
        pos_ += n;
        const bool stalls = pos_ >= stallAt || (pos_ >= bytes_.size() && !endAtLast);
        if (n == buffer.size() || (some && n > 0))
            return static_cast<long>(n);
        if (stalls)
            cv_.wait(lock, [this] { return aborted_; });
        return static_cast<long>(n);
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<uint8_t> bytes_;
    std::size_t pos_ = 0;
    bool aborted_ = false;
};

class RecordingWindow : public StreamWindow {
public:
    void PostStreamMessage(uint32_t message, uintptr_t wParam, intptr_t) override {
        std::lock_guard lock(mutex_);
        posted_.push_back({message, wParam});
    }
    void DrawPicture(const VideoPicture& p) override {
        drawing = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(drawDelayMs.load()));
        std::lock_guard lock(mutex_);
        pictures_.push_back({p.width, p.height});
        lastPicture_.assign(p.bgr.begin(), p.bgr.end());
        drawing = false;
    }
    void StreamDiagnostic(int code, const std::string& text) override {
        std::lock_guard lock(mutex_);
        diagnostics_.push_back({code, text});
    }
    std::vector<std::pair<int, std::string>> Diagnostics() {
        std::lock_guard lock(mutex_);
        return diagnostics_;
    }
    std::atomic<int> drawDelayMs{0}; // a slow window: each draw takes this long
    std::atomic<bool> drawing{false};
    std::vector<std::pair<uint32_t, uintptr_t>> Posted() {
        std::lock_guard lock(mutex_);
        return posted_;
    }
    std::vector<std::pair<int, int>> Pictures() {
        std::lock_guard lock(mutex_);
        return pictures_;
    }
    std::vector<uint8_t> LastPicture() {
        std::lock_guard lock(mutex_);
        return lastPicture_;
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<uint32_t, uintptr_t>> posted_;
    std::vector<std::pair<int, int>> pictures_;
    std::vector<uint8_t> lastPicture_;
    std::vector<std::pair<int, std::string>> diagnostics_;
};

// A display path that takes frames off the video queue (or leaves them, when stalled).
class FakeDisplay : public CStreamThread, public IVideoPath {
public:
    explicit FakeDisplay(StreamWindow& w) : CStreamThread(&w) {}
    ~FakeDisplay() override { CStreamThread::StopThread(5000); }

    std::atomic<bool> stalled{false};
    std::atomic<int> starts{0}, frames{0}, closes{0};
    std::atomic<int> width{0}, height{0};
    std::atomic<bool> decoderOpen{false};

    bool StartVideo(int w, int h, std::span<const uint8_t>) override {
        ++starts;
        width = w;
        height = h;
        decoderOpen = true;
        return true;
    }
    bool StartThread() override { return Start(); }
    bool StopThread(uint32_t t) override { return CStreamThread::StopThread(t); }
    bool DecoderOpen() const override { return decoderOpen; }
    void CloseDecoder() override {
        ++closes;
        decoderOpen = false;
    }

protected:
    int Run() override {
        while (!IsStopRequested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (!stalled && Window()->VideoQueue().Pop())
                ++frames;
        }
        return 0;
    }
};

class FakeAudio : public CStreamThread, public IAudioOutput {
public:
    explicit FakeAudio(StreamWindow& w) : CStreamThread(&w) {}
    ~FakeAudio() override { CStreamThread::StopThread(5000); }

    std::atomic<bool> openOk{true}, open{false};
    std::atomic<int> opens{0}, closes{0}, format{0};

    bool Open(int f, uint32_t) override {
        ++opens;
        format = f;
        open = openOk.load();
        return open;
    }
    bool StartThread() override { return Start(); }
    bool StopThread(uint32_t t) override { return CStreamThread::StopThread(t); }
    bool IsOpen() const override { return open; }
    void Close() override {
        ++closes;
        open = false;
    }

protected:
    int Run() override {
        while (!IsStopRequested())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 0;
    }
};

template <typename Pred> bool WaitFor(Pred pred, int ms = 5000) {
    for (int i = 0; i < ms; ++i) {
        if (pred())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return pred();
}

} // namespace kestrova::stream::testing

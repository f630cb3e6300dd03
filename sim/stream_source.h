// Live stream bodies. A source hands out the next bytes of its stream when
// they are due, paced in real time from the moment the stream started.
#pragma once

#include "faults.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kestrova::sim {

struct SimOptions;
class MotionStore;

struct StreamEnv {
    const SimOptions* options = nullptr;
    const MotionStore* motion = nullptr;
    std::function<bool()> stopping;      // the server is shutting down
    std::function<Fault()> currentFault; // the mode in force now (stalls last while it holds)
};

class StreamSource {
public:
    virtual ~StreamSource() = default;
    // Appends the next bytes, waiting until they are due; false ends the stream.
    virtual bool Next(std::string& out) = 0;
    int64_t FramesSent() const { return frames_.load(); }

protected:
    StreamSource(StreamEnv env, Fault fault, int fps);
    // Sleeps until ms after the start; false when the server stops meanwhile.
    bool WaitUntil(int64_t ms);
    // Sleeps while the fault holds; false when the server stops meanwhile.
    bool StallWhileFault();
    int64_t FrameTimeMs(int64_t frame) const { return frame * 1000 / fps_; }

    StreamEnv env_;
    Fault fault_;
    int fps_;
    std::chrono::steady_clock::time_point start_;
    std::atomic<int64_t> frames_{0};
};

// "img/video.asf"; nullptr (with a reason) when an encoder cannot be opened.
std::unique_ptr<StreamSource> MakeAsfSource(StreamEnv env, Fault fault, std::string* error);
// "img/mjpeg.cgi"; fps caps the frame rate (the "Speed" request value).
std::unique_ptr<StreamSource> MakeMjpegSource(StreamEnv env, Fault fault, int fps,
                                              std::string* error);

} // namespace kestrova::sim

#include "stream_source.h"

#include <algorithm>
#include <thread>

namespace kestrova::sim {

StreamSource::StreamSource(StreamEnv env, Fault fault, int fps)
    : env_(std::move(env)), fault_(fault), fps_(std::max(fps, 1)),
      start_(std::chrono::steady_clock::now()) {}

bool StreamSource::WaitUntil(int64_t ms) {
    const auto due = start_ + std::chrono::milliseconds(ms);
    // Short slices so a stopping server is never held up by a paced stream.
    while (std::chrono::steady_clock::now() < due) {
        if (env_.stopping())
            return false;
        const auto slice = std::min<std::chrono::steady_clock::duration>(
            due - std::chrono::steady_clock::now(), std::chrono::milliseconds(20));
        std::this_thread::sleep_for(slice);
    }
    return !env_.stopping();
}

bool StreamSource::StallWhileFault() {
    while (env_.currentFault() == fault_) {
        if (env_.stopping())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return !env_.stopping();
}

} // namespace kestrova::sim

#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace kestrova::audio {

// A fixed set of auto-reset events that one thread waits on together. Signals of
// an event that is already set merge into one, as the sound buffer's position
// notifications do.
class NotifyEvents {
public:
    explicit NotifyEvents(int count);

    // Sets event `index`; out-of-range numbers are ignored.
    void Signal(int index);
    // Clears every event.
    void Reset();
    // Waits until any event is set, clears it and returns its number (the lowest
    // when several are set), or -1 when `timeout` passes first.
    int WaitAny(std::chrono::milliseconds timeout);

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<bool> set_;
};

} // namespace kestrova::audio

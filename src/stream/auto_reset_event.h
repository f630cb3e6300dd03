#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kestrova::stream {

// An event that releases exactly one waiter per Set() and clears itself on release;
// a Set() with nobody waiting stays pending until the next Wait().
class AutoResetEvent {
public:
    void Set();
    void Reset();
    // Waits until set or until the time-out passes; true when the event was taken.
    bool Wait(uint32_t timeoutMs);
    void WaitForever();

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_ = false;
};

} // namespace kestrova::stream

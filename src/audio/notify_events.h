#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace kestrova::audio {

// A fixed set of auto-reset events that one thread waits on together. Signals of
// an event that is already set merge into one, as the sound buffer's position
// notifications do.
class NotifyEvents {
public:
    static constexpr std::uint32_t kAll = ~std::uint32_t{0};

    explicit NotifyEvents(int count);

    // Sets event `index`; out-of-range numbers are ignored. The waiter is woken only
    // when it waits for that event.
    void Signal(int index);
    // Clears every event and a pending interrupt.
    void Reset();
    // Waits until an event of `mask` (bit i: event i) is set, clears it and returns its
    // number (the lowest when several are set), or -1 when `timeout` passes first or
    // Interrupt was called. Events outside the mask stay as they are.
    int WaitAny(std::chrono::milliseconds timeout, std::uint32_t mask = kAll);
    // Ends the current wait, or the next one when nobody waits, with -1 (a stop request).
    void Interrupt();

private:
    bool Wanted(std::size_t index) const { return index < 32 && ((mask_ >> index) & 1u) != 0; }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<bool> set_;
    std::uint32_t mask_ = 0; // what the current waiter waits for; 0 while nobody waits
    bool interrupted_ = false;
};

} // namespace kestrova::audio

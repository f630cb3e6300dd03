#include "audio/notify_events.h"

#include <algorithm>

namespace kestrova::audio {

NotifyEvents::NotifyEvents(int count) : set_(static_cast<std::size_t>(std::max(count, 0)), false) {}

void NotifyEvents::Signal(int index) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        if (index < 0 || static_cast<std::size_t>(index) >= set_.size()) {
            return;
        }
        set_[static_cast<std::size_t>(index)] = true;
        // A waiter that does not want this event would only look and sleep again.
        wake = Wanted(static_cast<std::size_t>(index));
    }
    if (wake) {
        cv_.notify_all();
    }
}

void NotifyEvents::Reset() {
    std::lock_guard lock(mutex_);
    std::fill(set_.begin(), set_.end(), false);
    interrupted_ = false;
}

void NotifyEvents::Interrupt() {
    {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
    }
    cv_.notify_all();
}

int NotifyEvents::WaitAny(std::chrono::milliseconds timeout, std::uint32_t mask) {
    std::unique_lock lock(mutex_);
    mask_ = mask;
    int found = -1;
    cv_.wait_for(lock, timeout, [&] {
        if (interrupted_) {
            return true;
        }
        for (std::size_t i = 0; i < set_.size(); ++i) {
            if (set_[i] && Wanted(i)) {
                found = static_cast<int>(i);
                return true;
            }
        }
        return false;
    });
    mask_ = 0;
    if (interrupted_) {
        interrupted_ = false;
        return -1;
    }
    if (found >= 0) {
        set_[static_cast<std::size_t>(found)] = false;
    }
    return found;
}

} // namespace kestrova::audio

#include "audio/notify_events.h"

#include <algorithm>

namespace kestrova::audio {

NotifyEvents::NotifyEvents(int count) : set_(static_cast<std::size_t>(std::max(count, 0)), false) {}

void NotifyEvents::Signal(int index) {
    {
        std::lock_guard lock(mutex_);
        if (index < 0 || static_cast<std::size_t>(index) >= set_.size()) {
            return;
        }
        set_[static_cast<std::size_t>(index)] = true;
    }
    cv_.notify_all();
}

void NotifyEvents::Reset() {
    std::lock_guard lock(mutex_);
    std::fill(set_.begin(), set_.end(), false);
}

int NotifyEvents::WaitAny(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    int found = -1;
    cv_.wait_for(lock, timeout, [&] {
        auto it = std::find(set_.begin(), set_.end(), true);
        if (it == set_.end()) {
            return false;
        }
        found = static_cast<int>(it - set_.begin());
        return true;
    });
    if (found >= 0) {
        set_[static_cast<std::size_t>(found)] = false;
    }
    return found;
}

} // namespace kestrova::audio

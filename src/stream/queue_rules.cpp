#include "stream/queue_rules.h"

namespace kestrova::stream {

bool AddBelowLimit(CFrameChain& queue, std::size_t limit, std::vector<uint8_t> data,
                   uint32_t timestamp) {
    if (queue.Count() >= limit)
        return false;
    queue.Add(std::move(data), timestamp);
    return true;
}

void AddDroppingOldest(CFrameChain& queue, std::size_t keep, std::vector<uint8_t> data,
                       uint32_t timestamp) {
    if (keep > 0 && queue.Count() >= keep)
        queue.Pop();
    queue.Add(std::move(data), timestamp);
}

bool KeyFrameGate::Admit(std::size_t queued, std::size_t limit, bool keyFrame) {
    if (waiting_) {
        if (keyFrame && (!keyNeedsRoom_ || queued <= limit)) {
            waiting_ = false;
            return true;
        }
        return false;
    }
    if (queued > limit) {
        waiting_ = true;
        return false;
    }
    return true;
}

} // namespace kestrova::stream

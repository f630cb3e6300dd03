#pragma once

#include "stream/frame_chain.h"

#include <cstdint>
#include <vector>

namespace kestrova::stream {

// Producer-side limits. The count check and the Add are not atomic, which is harmless:
// each queue has exactly one producer.

// Queues the frame unless the queue already holds `limit` or more; true when queued.
bool AddBelowLimit(CFrameChain& queue, std::size_t limit, std::vector<uint8_t> data,
                   uint32_t timestamp);

// Queues the frame; when the queue would exceed `keep`, the oldest record goes first.
void AddDroppingOldest(CFrameChain& queue, std::size_t keep, std::vector<uint8_t> data,
                       uint32_t timestamp);

// ASF video rule: above the limit a frame is dropped and dropping goes on until a key
// frame; that key frame is queued and ends the dropping.
class KeyFrameGate {
public:
    // `keyNeedsRoom`: a key frame ends the dropping only when the queue is within the limit.
    explicit KeyFrameGate(bool keyNeedsRoom = false) : keyNeedsRoom_(keyNeedsRoom) {}
    // True when the frame should be queued.
    bool Admit(std::size_t queued, std::size_t limit, bool keyFrame);
    bool Waiting() const { return waiting_; }
    void Reset() { waiting_ = false; }

private:
    bool keyNeedsRoom_;
    bool waiting_ = false;
};

} // namespace kestrova::stream

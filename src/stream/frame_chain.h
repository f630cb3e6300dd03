#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace kestrova::stream {

// One queued frame. Whoever holds the record owns its bytes.
struct FrameRecord {
    std::vector<uint8_t> data;
    uint32_t size = 0;      // byte count of data
    uint32_t timestamp = 0; // ASF: presentation time (ms); MJPEG: the record header's stamp
};

// FIFO of frame records; its lock is held only around one list operation. It imposes no
// limit of its own: the producers apply the queue rules.
class CFrameChain {
public:
    void Add(std::vector<uint8_t> data, uint32_t timestamp);
    void Add(std::unique_ptr<FrameRecord> record);
    // Null when empty.
    std::unique_ptr<FrameRecord> Pop();
    // Blocks until a record is there, `cancel` is set (and WakeWaiters called), or `timeout`
    // passed; null unless a record was taken. Consumers sleep here instead of polling.
    std::unique_ptr<FrameRecord> WaitPop(const std::atomic<bool>& cancel,
                                         std::chrono::milliseconds timeout);
    // Wakes every WaitPop so that it looks at its cancel flag again.
    void WakeWaiters();
    // Blocks until a consumer took every record or `timeout` passed; true when empty.
    bool WaitEmpty(std::chrono::milliseconds timeout);
    std::size_t Count() const;
    void Clear();

private:
    // With `lock` held and a record queued: takes the first one, lets go of the lock and
    // wakes WaitEmpty when that emptied the queue.
    std::unique_ptr<FrameRecord> TakeFront(std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::condition_variable emptied_;
    std::deque<std::unique_ptr<FrameRecord>> records_;
};

} // namespace kestrova::stream

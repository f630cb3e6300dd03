#include "stream/frame_chain.h"

namespace kestrova::stream {

void CFrameChain::Add(std::vector<uint8_t> data, uint32_t timestamp) {
    auto record = std::make_unique<FrameRecord>();
    record->size = static_cast<uint32_t>(data.size());
    record->data = std::move(data);
    record->timestamp = timestamp;
    Add(std::move(record));
}

void CFrameChain::Add(std::unique_ptr<FrameRecord> record) {
    {
        std::lock_guard lock(mutex_);
        records_.push_back(std::move(record));
    }
    arrived_.notify_one();
}

std::unique_ptr<FrameRecord> CFrameChain::Pop() {
    std::unique_lock lock(mutex_);
    if (records_.empty())
        return nullptr;
    return TakeFront(lock);
}

std::unique_ptr<FrameRecord> CFrameChain::WaitPop(const std::atomic<bool>& cancel,
                                                  std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, timeout, [&] { return !records_.empty() || cancel.load(); });
    if (records_.empty() || cancel.load())
        return nullptr;
    return TakeFront(lock);
}

std::unique_ptr<FrameRecord> CFrameChain::TakeFront(std::unique_lock<std::mutex>& lock) {
    auto record = std::move(records_.front());
    records_.pop_front();
    const bool empty = records_.empty();
    lock.unlock();
    if (empty)
        emptied_.notify_all();
    return record;
}

bool CFrameChain::WaitEmpty(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return emptied_.wait_for(lock, timeout, [&] { return records_.empty(); });
}

void CFrameChain::WakeWaiters() {
    // Taking the lock orders the waiter's look at its cancel flag before this wake-up, so
    // a flag set just before the call is never missed.
    { std::lock_guard lock(mutex_); }
    arrived_.notify_all();
}

std::size_t CFrameChain::Count() const {
    std::lock_guard lock(mutex_);
    return records_.size();
}

void CFrameChain::Clear() {
    std::deque<std::unique_ptr<FrameRecord>> gone;
    {
        std::lock_guard lock(mutex_);
        gone.swap(records_);
    }
    emptied_.notify_all();
    // The records are released outside the lock.
}

} // namespace kestrova::stream

#include "audio/looping_ring.h"

#include <algorithm>
#include <cstring>

namespace kestrova::audio {

std::unique_ptr<LoopingRing>
LoopingRing::Make(std::size_t bytes, std::span<const Notification> notes, NotifySink sink) {
    if (bytes == 0 || bytes % 2 != 0) {
        return nullptr;
    }
    for (const Notification& n : notes) {
        if (n.event < 0 || (n.offset != Notification::kOffsetStop && n.offset >= bytes)) {
            return nullptr;
        }
    }
    return std::unique_ptr<LoopingRing>(new LoopingRing(bytes, notes, std::move(sink)));
}

LoopingRing::LoopingRing(std::size_t bytes, std::span<const Notification> notes, NotifySink sink)
    : data_(bytes, 0), notes_(notes.begin(), notes.end()), sink_(std::move(sink)) {}

LockResult LoopingRing::Lock(std::size_t offset, std::size_t bytes, LockedRegion& region) {
    std::lock_guard lock(mutex_);
    region = {};
    if (lostLocks_ > 0) {
        --lostLocks_;
        lost_ = true;
    }
    if (lost_) {
        return LockResult::BufferLost;
    }
    if (locked_ || offset >= data_.size() || bytes == 0 || bytes > data_.size()) {
        return LockResult::Failed;
    }
    // The scratch copy starts with what the region holds, so a partial write
    // leaves the rest as it was.
    scratch_.resize(bytes);
    const std::size_t first = std::min(bytes, data_.size() - offset);
    std::memcpy(scratch_.data(), data_.data() + offset, first);
    std::memcpy(scratch_.data() + first, data_.data(), bytes - first);
    locked_ = true;
    lockOffset_ = offset;
    region.part1 = scratch_.data();
    region.len1 = first;
    if (bytes > first) {
        region.part2 = scratch_.data() + first;
        region.len2 = bytes - first;
    }
    return LockResult::Ok;
}

bool LoopingRing::Unlock(const LockedRegion& region) {
    std::lock_guard lock(mutex_);
    if (!locked_ || region.part1 != scratch_.data() ||
        region.len1 + region.len2 > scratch_.size()) {
        return false;
    }
    locked_ = false;
    const std::size_t first = std::min(region.len1, data_.size() - lockOffset_);
    std::memcpy(data_.data() + lockOffset_, scratch_.data(), first);
    if (region.part2 != nullptr) {
        std::memcpy(data_.data(), scratch_.data() + region.len1, region.len2);
    }
    ++unlocks_;
    return true;
}

bool LoopingRing::Restore() {
    std::lock_guard lock(mutex_);
    lost_ = false;
    return true;
}

bool LoopingRing::Play(bool looping) {
    std::lock_guard lock(mutex_);
    playing_ = true;
    looping_ = looping;
    return true;
}

bool LoopingRing::Stop() {
    std::vector<int> events;
    {
        std::lock_guard lock(mutex_);
        if (playing_) {
            for (const Notification& n : notes_) {
                if (n.offset == Notification::kOffsetStop) {
                    events.push_back(n.event);
                }
            }
        }
        playing_ = false;
    }
    Signal(events);
    return true;
}

bool LoopingRing::SetPosition(std::size_t offset) {
    std::lock_guard lock(mutex_);
    if (offset >= data_.size()) {
        return false;
    }
    cursor_ = offset;
    return true;
}

bool LoopingRing::SetVolume(long millibels) {
    if (millibels < kVolumeMin || millibels > kVolumeMax) {
        return false;
    }
    std::lock_guard lock(mutex_);
    volume_ = millibels;
    return true;
}

std::size_t LoopingRing::Pull(std::size_t bytes, std::uint8_t* out) {
    std::vector<int> events;
    std::size_t moved = 0;
    {
        std::lock_guard lock(mutex_);
        const std::size_t size = data_.size();
        while (playing_ && moved < bytes) {
            // Step at most to the end of the buffer so notifications fire in order.
            const std::size_t step = std::min(bytes - moved, size - cursor_);
            if (out != nullptr) {
                std::memcpy(out + moved, data_.data() + cursor_, step);
            }
            const std::size_t from = cursor_;
            const std::size_t to = from + step; // may equal size: wrapped to 0
            std::vector<std::pair<std::size_t, int>> reached;
            for (const Notification& n : notes_) {
                if (n.offset == Notification::kOffsetStop) {
                    continue;
                }
                // Offset 0 is reached at the wrap, i.e. at position `size`.
                const std::size_t at = n.offset == 0 ? size : n.offset;
                if (at > from && at <= to) {
                    reached.emplace_back(at, n.event);
                }
            }
            std::sort(reached.begin(), reached.end());
            for (const auto& r : reached) {
                events.push_back(r.second);
            }
            moved += step;
            cursor_ = to == size ? 0 : to;
            if (to == size && !looping_) {
                playing_ = false;
                for (const Notification& n : notes_) {
                    if (n.offset == Notification::kOffsetStop) {
                        events.push_back(n.event);
                    }
                }
            }
        }
    }
    Signal(events);
    return moved;
}

std::size_t LoopingRing::BytesToNextPromptEvent() const {
    std::lock_guard lock(mutex_);
    if (!playing_) {
        return kNothingDue;
    }
    const std::size_t size = data_.size();
    std::size_t next = looping_ ? kNothingDue : size - cursor_;
    for (const Notification& n : notes_) {
        if (n.offset == Notification::kOffsetStop || !n.prompt) {
            continue;
        }
        // As in Pull: offset 0 is reached at the wrap, and a position the cursor stands
        // on is reached again only after a whole turn.
        const std::size_t at = n.offset == 0 ? size : n.offset;
        next = std::min(next, at > cursor_ ? at - cursor_ : at + size - cursor_);
    }
    return next;
}

void LoopingRing::Signal(const std::vector<int>& events) {
    if (!sink_) {
        return;
    }
    for (int e : events) {
        sink_(e);
    }
}

void LoopingRing::LoseBuffer(int count) {
    std::lock_guard lock(mutex_);
    lostLocks_ = count;
}

std::size_t LoopingRing::Cursor() const {
    std::lock_guard lock(mutex_);
    return cursor_;
}

bool LoopingRing::Playing() const {
    std::lock_guard lock(mutex_);
    return playing_;
}

long LoopingRing::Volume() const {
    std::lock_guard lock(mutex_);
    return volume_;
}

std::uint64_t LoopingRing::Unlocks() const {
    std::lock_guard lock(mutex_);
    return unlocks_;
}

std::vector<std::uint8_t> LoopingRing::Contents() const {
    std::lock_guard lock(mutex_);
    return data_;
}

} // namespace kestrova::audio

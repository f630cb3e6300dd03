#include "net/receive_buffer.h"

#include <algorithm>
#include <cstring>

namespace kestrova::net {

void ReceiveBuffer::Reset(std::size_t capacity) {
    capacity_ = capacity;
    data_.clear();
    readPos_ = 0;
    peak_ = 0;
}

void ReceiveBuffer::Append(std::span<const uint8_t> piece) {
    if (piece.empty())
        return;
    // Drop the consumed front before growing, so storage stays near the bound.
    if (readPos_ > 0 && data_.size() + piece.size() > data_.capacity()) {
        data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(readPos_));
        readPos_ = 0;
    }
    data_.insert(data_.end(), piece.begin(), piece.end());
    peak_ = std::max(peak_, Size());
}

std::size_t ReceiveBuffer::Take(std::span<uint8_t> out) {
    const std::size_t n = std::min(out.size(), Size());
    if (n == 0)
        return 0;
    std::memcpy(out.data(), data_.data() + readPos_, n);
    readPos_ += n;
    if (readPos_ == data_.size()) {
        data_.clear();
        readPos_ = 0;
    }
    return n;
}

} // namespace kestrova::net

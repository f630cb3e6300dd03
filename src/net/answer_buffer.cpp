#include "net/answer_buffer.h"

#include <algorithm>
#include <cstring>

namespace kestrova::net {

void AnswerBuffer::Reset(const Sizes& sizes) {
    sizes_ = sizes;
    overflowed_ = false;
    data_.clear();
    data_.reserve(std::min(sizes.initial, sizes.limit));
}

bool AnswerBuffer::Append(std::span<const uint8_t> piece) {
    if (overflowed_ || piece.size() > sizes_.limit - data_.size()) {
        overflowed_ = true;
        return false;
    }
    const std::size_t needed = data_.size() + piece.size();
    if (needed > data_.capacity()) {
        // Grow by at least the step, and geometrically so large answers stay linear.
        std::size_t next =
            std::max(needed + sizes_.growStep, data_.capacity() + data_.capacity() / 2);
        data_.reserve(std::min(next, sizes_.limit));
    }
    data_.insert(data_.end(), piece.begin(), piece.end());
    return true;
}

std::string AnswerBuffer::Text() const {
    const auto* begin = reinterpret_cast<const char*>(data_.data());
    const void* nul = data_.empty() ? nullptr : std::memchr(begin, 0, data_.size());
    const std::size_t length = nul ? static_cast<const char*>(nul) - begin : data_.size();
    return std::string(begin, length);
}

void AnswerBuffer::Release() {
    std::vector<uint8_t>().swap(data_);
    overflowed_ = false;
}

} // namespace kestrova::net

#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kestrova::net {

// FIFO of received body bytes with a soft bound. A piece is accepted whole when it fits
// under the bound, or when the buffer is empty (so a piece larger than the bound still
// makes progress); otherwise the producer has to wait. Not locked: the owner guards it.
class ReceiveBuffer {
public:
    explicit ReceiveBuffer(std::size_t capacity = 0) : capacity_(capacity) {}

    void Reset(std::size_t capacity);
    std::size_t Capacity() const { return capacity_; }
    std::size_t Size() const { return data_.size() - readPos_; }
    bool Empty() const { return Size() == 0; }
    std::size_t Peak() const { return peak_; }

    bool CanAccept(std::size_t bytes) const { return Empty() || Size() + bytes <= capacity_; }
    // Appends the piece; the caller checked CanAccept.
    void Append(std::span<const uint8_t> piece);
    // Moves up to out.size() bytes to `out`; returns the count moved.
    std::size_t Take(std::span<uint8_t> out);

private:
    std::vector<uint8_t> data_;
    std::size_t readPos_ = 0;
    std::size_t capacity_ = 0;
    std::size_t peak_ = 0;
};

} // namespace kestrova::net

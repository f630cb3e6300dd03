#pragma once

// Most-significant-bit-first reader over a bounded input. Reads past the end
// yield zero bits and raise the overrun flag; no byte beyond the input is
// ever touched.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kestrova::mpeg4 {

class BitReader {
public:
    void reset(const uint8_t* data, size_t size) {
        data_ = data;
        size_ = size;
        bitpos_ = 0;
        overrun_ = false;
    }

    // Next n bits (0..25) without consuming them.
    uint32_t peek(int n) const {
        if (n == 0)
            return 0;
        return window() >> (32 - n);
    }

    // The next 32 bits, zero-padded past the end, without consuming them.
    uint32_t peek32() const { return window(); }

    void skip(int n) {
        bitpos_ += static_cast<size_t>(n);
        if (bitpos_ > size_ * 8) {
            bitpos_ = size_ * 8;
            overrun_ = true;
        }
    }

    // Consumes and returns n bits (0..25).
    uint32_t get(int n) {
        uint32_t v = peek(n);
        skip(n);
        return v;
    }

    uint32_t get_bit() { return get(1); }

    // Position in bits from the start. Setting it past the end stops at the
    // end and raises the overrun flag, as a skip would.
    size_t bit_position() const { return bitpos_; }
    void set_bit_position(size_t pos) {
        bitpos_ = pos;
        if (bitpos_ > size_ * 8) {
            bitpos_ = size_ * 8;
            overrun_ = true;
        }
    }

    // Bytes consumed so far, counting a partly read byte as consumed.
    size_t byte_pos() const { return (bitpos_ + 7) / 8; }
    // Unread bits left in the partly read byte (0..7).
    int bits_left_in_byte() const { return static_cast<int>((8 - bitpos_ % 8) % 8); }
    size_t size() const { return size_; }
    const uint8_t* data() const { return data_; }
    bool overrun() const { return overrun_; }

    // Drops the rest of a partly read byte.
    void align() { bitpos_ = byte_pos() * 8; }
    void seek_byte(size_t pos) {
        if (pos > size_) {
            pos = size_;
            overrun_ = true;
        }
        bitpos_ = pos * 8;
    }

    // True when the four bytes at the byte position are 00 00 01 xx.
    bool at_start_code() const {
        size_t p = byte_pos();
        return p + 4 <= size_ && data_[p] == 0 && data_[p + 1] == 0 && data_[p + 2] == 1;
    }
    // The start-code value (fourth byte); only valid when at_start_code().
    uint8_t start_code_value() const { return data_[byte_pos() + 3]; }

    // Moves the byte position to the next 00 00 01 prefix at or after the
    // current byte position; false (and at the end) when there is none.
    bool seek_next_start_code() {
        for (size_t p = byte_pos(); p + 4 <= size_; ++p) {
            if (data_[p] == 0 && data_[p + 1] == 0 && data_[p + 2] == 1) {
                bitpos_ = p * 8;
                return true;
            }
        }
        bitpos_ = size_ * 8;
        return false;
    }

private:
    // 32 bits starting at the bit position, zero-padded past the end.
    uint32_t window() const {
        size_t byte = bitpos_ >> 3;
        uint32_t w;
        if (byte + 4 <= size_) {
            std::memcpy(&w, data_ + byte, 4);
            w = __builtin_bswap32(w);
        } else {
            w = 0;
            for (size_t i = 0; i < 4; ++i)
                w = (w << 8) | (byte + i < size_ ? data_[byte + i] : 0u);
        }
        return w << (bitpos_ & 7);
    }

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t bitpos_ = 0;
    bool overrun_ = false;
};

} // namespace kestrova::mpeg4

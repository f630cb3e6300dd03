#pragma once

#include <cstdint>

namespace kestrova::g726 {

// Most-significant-bit-first reader of packed code words. Bits left over at
// the end of one frame start the first code word of the next frame, so one
// unpacker belongs to one stream.
class BitUnpacker {
public:
    // Takes the next code word of `bits` bits from data[pos ..] (advancing
    // pos) and the carried bits; false when the frame holds no more.
    bool next(const uint8_t* data, int length, int& pos, int bits, unsigned& code) {
        while (m_count < static_cast<unsigned>(bits)) {
            if (pos >= length) {
                return false;
            }
            m_accumulator = (m_accumulator << 8) | data[pos++];
            m_count += 8;
        }
        m_count -= static_cast<unsigned>(bits);
        code = (m_accumulator >> m_count) & ((1u << bits) - 1);
        return true;
    }

    unsigned pendingBits() const { return m_count; }

private:
    uint32_t m_accumulator = 0;
    unsigned m_count = 0;
};

} // namespace kestrova::g726

#pragma once

// Video packets: a picture may be cut into packets, each opened by a resync
// marker and a short header that restarts the quantiser and cuts prediction
// from earlier macroblocks. Encoders that split a picture across threads
// write them.

#include "codec/mpeg4/bitreader.h"
#include "codec/mpeg4/state.h"

namespace kestrova::mpeg4 {

// Zero bits in the resync marker of the current picture (before its one bit).
int resync_marker_zeros(const VopParams& vop);

// at_resync_marker when the marker reaches past the next 32 bits.
bool at_long_resync_marker(const BitReader& br, int zeros);

// True when stuffing up to the next byte boundary and a resync marker follow.
// Asked before every macroblock, so the common case is inline.
inline bool at_resync_marker(const BitReader& br, int zeros) {
    // Stuffing: a zero bit and then ones up to the byte boundary (a whole
    // byte 0x7F when already aligned).
    const int n = br.bits_left_in_byte() == 0 ? 8 : br.bits_left_in_byte();
    if (n + zeros + 1 > 32)
        return at_long_resync_marker(br, zeros);
    // Stuffing, zeros and the final one bit all lie in the next 32 bits
    // (zero-padded past the end, where the one bit cannot appear).
    const uint32_t w = br.peek32();
    return (w >> (32 - n)) == (1u << (n - 1)) - 1 && ((w << n) >> (31 - zeros)) == 1;
}

// Bits of the macroblock number in a packet header.
int macroblock_number_bits(int macroblocks);

// Reads the packet header at a resync marker: the first macroblock's index
// and the packet's quantiser. False when malformed.
bool read_packet_header(DecoderState& s, int& mb_index, int& qp);

} // namespace kestrova::mpeg4

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

// True when stuffing up to the next byte boundary and a resync marker follow.
bool at_resync_marker(const BitReader& br, int zeros);

// Bits of the macroblock number in a packet header.
int macroblock_number_bits(int macroblocks);

// Reads the packet header at a resync marker: the first macroblock's index
// and the packet's quantiser. False when malformed.
bool read_packet_header(DecoderState& s, int& mb_index, int& qp);

} // namespace kestrova::mpeg4

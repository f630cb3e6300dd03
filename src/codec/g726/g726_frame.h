#pragma once

#include "codec/g726/bit_unpacker.h"
#include "codec/g726/g726_adpcm_impl.h"
#include "codec/g726/g726_tables.h"
#include "codec/g726/lowpass_filter.h"

#include <cstdint>
#include <span>

namespace kestrova::g726 {

// Everything one stream carries from frame to frame: what the exported
// int* handle points at.
struct DecoderState {
    AdpcmState adpcm;
    LowPassFilter filter;
    BitUnpacker unpacker;
};

// The reconstructed signal as 16-bit PCM: sr x 4, saturated.
inline int16_t toPcm(int16_t sr) {
    const int scaled = sr * 4;
    return static_cast<int16_t>(scaled > 32767 ? 32767 : (scaled < -32768 ? -32768 : scaled));
}

// Unpacks, decodes and filters one frame; returns the samples written.
// Arguments are checked by the caller.
template <typename Blocks = StandardBlocks>
[[gnu::always_inline]] inline int decodeFrame(DecoderState& state, const RateTables& tables,
                                              const uint8_t* data, int length, int16_t* out) {
    int written = 0;
    int pos = 0;
    unsigned code = 0;
    while (state.unpacker.next(data, length, pos, tables.bits, code)) {
        const int16_t sr = decodeCodeWord<Blocks>(state.adpcm, tables, code);
        out[written++] = state.filter.process(toPcm(sr));
    }
    return written;
}

// The frame loop with the standard's blocks, one build per instruction set.
using FrameDecoder = int (*)(DecoderState& state, const RateTables& tables, const uint8_t* data,
                             int length, int16_t* out);

struct FrameDecoderBuild {
    const char* name;
    FrameDecoder decode;
};

// Builds this CPU can run, plain first; the last one is the one G726_dec uses.
std::span<const FrameDecoderBuild> frameDecoderBuilds();

} // namespace kestrova::g726

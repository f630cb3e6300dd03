#pragma once

#include <cstdint>
#include <vector>

// FFmpeg's own G.726 encoder and decoder (libavcodec), as an independent
// source of test streams and reference samples.
namespace kestrova::g726::testing {

// Packs the samples MSB first with `bits` bits per code word; the input is
// padded with silence to whole encoder frames.
std::vector<uint8_t> ffmpegEncode(const std::vector<int16_t>& pcm, int bits);

// FFmpeg's decoded samples for a whole packed stream.
std::vector<int16_t> ffmpegDecode(const std::vector<uint8_t>& stream, int bits);

} // namespace kestrova::g726::testing

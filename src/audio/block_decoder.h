#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace kestrova::audio {

// Turns one queued audio frame into 16-bit PCM. One decoder serves one play:
// its history carries from frame to frame.
class BlockDecoder {
public:
    virtual ~BlockDecoder() = default;
    // Decodes `frame` with `bits` bits per code word into `out`, which the caller
    // sizes for the frame (8 x frame bytes + 2000 bytes); returns the sample count.
    virtual int Decode(int bits, std::span<const std::uint8_t> frame,
                       std::span<std::int16_t> out) = 0;
};

using BlockDecoderFactory = std::function<std::unique_ptr<BlockDecoder>()>;

// The camera's decoder, G.726.
BlockDecoderFactory G726DecoderFactory();

} // namespace kestrova::audio

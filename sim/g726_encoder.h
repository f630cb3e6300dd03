// G.726 audio from the scene's tone, encoded with libavcodec's "g726" encoder,
// which packs code words most significant bit first as the camera does.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace kestrova::sim {

// Samples per audio frame the simulator sends: 40 ms, a multiple of 8 so that
// every frame ends on a byte boundary whatever the code size.
inline constexpr int kAudioFrameSamples = 320;

class G726Encoder {
public:
    // frameSamples: a positive multiple of 8.
    static std::unique_ptr<G726Encoder> Create(int bits, int frameSamples, std::string* error);
    ~G726Encoder();

    int Bits() const { return bits_; }
    int FrameBytes() const { return frameSamples_ * bits_ / 8; }
    // Start of audio frame k in milliseconds.
    int64_t FrameTimeMs(int64_t k) const { return k * frameSamples_ / 8; }
    // The next frame of coded audio.
    bool NextFrame(std::vector<uint8_t>& out);

private:
    struct Impl;
    G726Encoder(std::unique_ptr<Impl> impl, int bits, int frameSamples);
    bool EncodeMore();

    std::unique_ptr<Impl> impl_;
    int bits_;
    int frameSamples_;
    int64_t sample_ = 0;
    std::deque<uint8_t> coded_;
};

} // namespace kestrova::sim

// G.726 audio from the scene's tone, encoded with libavcodec's "g726" encoder,
// which packs code words most significant bit first as the camera does.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace kestrova::sim {

class G726Encoder {
public:
    // Samples per audio frame the simulator sends: 40 ms, a multiple of 8 so
    // every frame ends on a byte boundary whatever the code size.
    static constexpr int kFrameSamples = 320;

    static std::unique_ptr<G726Encoder> Create(int bits, std::string* error);
    ~G726Encoder();

    int Bits() const { return bits_; }
    int FrameBytes() const { return kFrameSamples * bits_ / 8; }
    // The next 40 ms of coded audio.
    bool NextFrame(std::vector<uint8_t>& out);

private:
    struct Impl;
    G726Encoder(std::unique_ptr<Impl> impl, int bits);
    bool EncodeMore();

    std::unique_ptr<Impl> impl_;
    int bits_;
    int64_t sample_ = 0;
    std::deque<uint8_t> coded_;
};

} // namespace kestrova::sim

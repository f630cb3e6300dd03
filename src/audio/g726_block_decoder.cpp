#include "audio/block_decoder.h"
#include "codec/g726/g726.h"

#include <algorithm>
#include <climits>

namespace kestrova::audio {
namespace {

class G726BlockDecoder final : public BlockDecoder {
public:
    G726BlockDecoder() : state_(G726_decoder_create()) {}
    ~G726BlockDecoder() override { G726_decoder_destroy(state_); }
    G726BlockDecoder(const G726BlockDecoder&) = delete;
    G726BlockDecoder& operator=(const G726BlockDecoder&) = delete;

    int Decode(int bits, std::span<const std::uint8_t> frame,
               std::span<std::int16_t> out) override {
        if (state_ == nullptr || bits < 2 || bits > 5) {
            return 0;
        }
        // One sample per code word: at most 8 x bytes / bits plus what the bits left
        // from the last call make; the caller's 1000 spare samples cover that. Still,
        // never hand the decoder more bytes than `out` can take.
        const std::size_t fit = out.size() > 8 ? (out.size() - 8) * bits / 8 : 0;
        const std::size_t bytes = std::min({frame.size(), fit, std::size_t{INT_MAX}});
        // The decoder only reads its input; its C interface is not const.
        auto* data = const_cast<unsigned char*>(frame.data());
        return G726_dec(state_, bits, data, static_cast<int>(bytes), out.data());
    }

private:
    int* state_;
};

} // namespace

BlockDecoderFactory G726DecoderFactory() {
    return [] { return std::make_unique<G726BlockDecoder>(); };
}

} // namespace kestrova::audio

#include "codec/g726/g726_adpcm_impl.h"
#include "codec/g726/g726_frame.h"
#include "g726/ffmpeg_g726.h"
#include "g726/test_signals.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace kestrova::g726 {
namespace {

using testing::ffmpegDecode;
using testing::ffmpegEncode;
using testing::testSignals;

// FFmpeg's decoder departs from ITU-T G.726 in two blocks: its scale factor
// keeps the six fraction bits of yl through the mix and floors the sum,
// and it uses the 2^-8 zero-predictor leak at 40 kbit/s too.
struct FfmpegBlocks {
    static uint32_t scaleFactor(uint32_t yu, uint32_t yl, uint32_t ap) {
        const int al = ap >= 256 ? 64 : static_cast<int>(ap >> 2);
        const int yli = static_cast<int>(yl);
        return static_cast<uint32_t>((yli + (static_cast<int>(yu) - (yli >> 6)) * al) >> 6);
    }
    static bool slowZeroLeak(const RateTables&) { return false; }
};

// The decoder's output filter, written out from its difference equation.
std::vector<int16_t> lowPass(const std::vector<int16_t>& in) {
    std::vector<int16_t> out;
    int x[5] = {};
    int y[5] = {};
    for (int16_t s : in) {
        for (int k = 4; k > 0; --k) {
            x[k] = x[k - 1];
            y[k] = y[k - 1];
        }
        x[0] = s >> 1;
        y[0] = (588 * x[0] + 2353 * x[1] + 3530 * x[2] + 2354 * x[3] + 588 * x[4] - 3031 * y[1] -
                2443 * y[2] - 751 * y[3] - 117 * y[4] + 2048) >>
               12;
        out.push_back(static_cast<int16_t>(std::clamp(2 * y[0], -32768, 32767)));
    }
    return out;
}

template <typename Decode>
std::vector<int16_t> decodeInFrames(const std::vector<uint8_t>& stream, size_t frameBytes,
                                    Decode&& decode) {
    std::vector<int16_t> out;
    std::vector<int16_t> buffer(8 * frameBytes + 8);
    for (size_t pos = 0; pos < stream.size(); pos += frameBytes) {
        const size_t n = std::min(frameBytes, stream.size() - pos);
        const int got = decode(stream.data() + pos, static_cast<int>(n), buffer.data());
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    }
    return out;
}

const size_t kFrameSizes[] = {1, 3, 40, 160, 1000};

// With FFmpeg's two departures swapped in, the whole decoder path (frame
// splitting, unpacking, every other G.726 block, scaling and the filter)
// reproduces FFmpeg's samples, filtered, bit for bit.
TEST(G726VersusFfmpeg, BitIdenticalApartFromFfmpegsTwoDepartures) {
    for (const auto& signal : testSignals()) {
        for (int bits = 2; bits <= 5; ++bits) {
            const std::vector<uint8_t> stream = ffmpegEncode(signal.pcm, bits);
            const std::vector<int16_t> expected = lowPass(ffmpegDecode(stream, bits));
            ASSERT_EQ(expected.size(), stream.size() * 8 / bits);
            for (size_t frame : kFrameSizes) {
                DecoderState state;
                const auto ours = decodeInFrames(stream, frame, [&](auto* d, int n, auto* o) {
                    return decodeFrame<FfmpegBlocks>(state, *rateTables(bits), d, n, o);
                });
                ASSERT_EQ(ours, expected)
                    << signal.name << " at " << bits << " bits, frames of " << frame;
            }
        }
    }
}

} // namespace
} // namespace kestrova::g726

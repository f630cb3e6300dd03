#include "codec/g726/g726_frame.h"

#include <vector>

namespace kestrova::g726 {
namespace {

int decodePlain(DecoderState& state, const RateTables& tables, const uint8_t* data, int length,
                int16_t* out) {
    return decodeFrame<StandardBlocks>(state, tables, data, length, out);
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) int decodeAvx2(DecoderState& state, const RateTables& tables,
                                               const uint8_t* data, int length, int16_t* out) {
    return decodeFrame<StandardBlocks>(state, tables, data, length, out);
}
#endif

std::vector<FrameDecoderBuild> detectBuilds() {
    std::vector<FrameDecoderBuild> builds{{"plain", &decodePlain}};
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) {
        builds.push_back({"avx2", &decodeAvx2});
    }
#endif
    return builds;
}

} // namespace

std::span<const FrameDecoderBuild> frameDecoderBuilds() {
    static const std::vector<FrameDecoderBuild> builds = detectBuilds();
    return builds;
}

} // namespace kestrova::g726

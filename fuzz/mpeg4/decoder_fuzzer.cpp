// Feeds arbitrary bytes to decoder_decode. The first byte selects the
// deblocking flag and the output capacity (tight for most inputs, so the
// slow full-size doubled pictures stay rare); the rest is cut into frames
// before every VOP start code after the first, so P pictures predict from
// what earlier frames left behind.

#include "codec/mpeg4/decoder.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

std::vector<size_t> frame_starts(const uint8_t* d, size_t n) {
    std::vector<size_t> starts{0};
    for (size_t i = 1; i + 3 < n; ++i)
        if (d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 1 && d[i + 3] == 0xB6 && starts.size() < 6)
            starts.push_back(i);
    return starts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    static std::vector<uint8_t> out(6 * 1024 * 768);
    const uint8_t flags = data[0];
    ++data;
    --size;
    auto* dec = reinterpret_cast<DECODER*>(decoder_create());
    if (!dec)
        return 0;
    dec->deblocking = flags & 1;
    // Room for a 640x480 picture, or (one input in eight) the whole buffer.
    const int capacity = (flags & 0x0E) == 0x0E ? static_cast<int>(out.size()) : 640 * 480 * 3 / 2;
    decoder_set_output_capacity(dec, capacity);
    const std::vector<size_t> starts = frame_starts(data, size);
    // Full-size doubled pictures are slow under the sanitisers: two at most.
    const size_t frames = capacity == static_cast<int>(out.size())
                              ? std::min<size_t>(2, starts.size())
                              : starts.size();
    for (size_t k = 0; k < frames; ++k) {
        const size_t end = k + 1 < starts.size() ? starts[k + 1] : size;
        // A private copy, so reading past the frame is caught by the sanitiser.
        std::vector<uint8_t> frame(data + starts[k], data + end);
        if (frame.empty())
            continue;
        int used = static_cast<int>(frame.size());
        decoder_decode(dec, out.data(), frame.data(), &used);
    }
    decoder_destroy(dec);
    return 0;
}

// Feeds arbitrary bytes to G726_dec as a sequence of frames, each preceded
// by a control byte that picks the code word size (including refused sizes)
// and the frame length, on one decoder state. Checks that no call writes
// past the documented output size and that refused sizes write nothing.
#include "codec/g726/g726.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int* state = G726_decoder_create();
    if (state == nullptr) {
        return 0;
    }
    size_t pos = 0;
    while (pos < size) {
        const uint8_t control = data[pos++];
        const int bits = control & 7;
        const size_t length = std::min<size_t>((control >> 3) * 9u, size - pos);
        const bool supported = bits >= 2 && bits <= 5;
        // Exactly what the interface promises to need, so ASan sees overruns.
        const size_t capacity = supported ? (8 * length + 4) / bits : 1;
        std::vector<short> out(capacity, 0x7777);
        std::vector<unsigned char> frame(data + pos, data + pos + length);
        const int n = G726_dec(state, bits, frame.empty() ? nullptr : frame.data(),
                               static_cast<int>(length), out.data());
        if (n < 0 || static_cast<size_t>(n) > capacity || (!supported && n != 0) ||
            (!supported && out[0] != 0x7777)) {
            std::abort();
        }
        pos += length;
    }
    G726_decoder_destroy(state);
    return 0;
}

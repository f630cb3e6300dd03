#include "codec/g726/g726.h"
#include "codec/g726/g726_frame.h"

#include <new>

using kestrova::g726::DecoderState;

int* G726_decoder_create(void) {
    return reinterpret_cast<int*>(new (std::nothrow) DecoderState);
}

int G726_decoder_destroy(int* state) {
    if (state == nullptr) {
        return -1;
    }
    delete reinterpret_cast<DecoderState*>(state);
    return 0;
}

int G726_dec(int* state, int bits, unsigned char* data, int length, short* out) {
    const kestrova::g726::RateTables* tables = kestrova::g726::rateTables(bits);
    if (state == nullptr || tables == nullptr || out == nullptr || length < 0 ||
        (data == nullptr && length > 0)) {
        return 0;
    }
    // Picked once: the fastest build of the frame loop this CPU runs.
    static const kestrova::g726::FrameDecoder decode =
        kestrova::g726::frameDecoderBuilds().back().decode;
    return decode(*reinterpret_cast<DecoderState*>(state), *tables, data, length, out);
}

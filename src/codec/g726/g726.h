#pragma once

#include "codec/c_export.h"

// G.726 ADPCM audio decoder with output low-pass filter. A state decodes
// one stream; code words are packed most significant bit first and bits
// left over at the end of a frame carry into the next call on that state.

// A new decoder state in the standard's reset condition, or null when
// memory is short.
KESTROVA_C_EXPORT int* G726_decoder_create(void);

// Frees the state: -1 for a null pointer, else 0.
KESTROVA_C_EXPORT int G726_decoder_destroy(int* state);

// Decodes the code words of `bits` bits (2, 3, 4 or 5: 16, 24, 32 or
// 40 kbit/s) packed in `length` bytes at `data` into 16-bit samples at
// `out`, one per code word, and returns the number written. `out` must hold
// (8 * length + 4) / bits samples. Another code word size, a null state,
// null data with a positive length, a null `out` or a negative length
// return 0 and change nothing.
KESTROVA_C_EXPORT int G726_dec(int* state, int bits, unsigned char* data, int length, short* out);

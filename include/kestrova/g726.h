/* G.726 ADPCM audio decoder (16, 24, 32 and 40 kbit/s) with an output low-pass
 * filter: 16-bit mono samples at 8000 per second. Part of libkestrova-codecs. */
#ifndef KESTROVA_G726_H
#define KESTROVA_G726_H

#ifdef __cplusplus
extern "C" {
#endif

/* A new decoder state in the reset condition, or null when memory is short.
 * One state decodes one stream. */
int* G726_decoder_create(void);

/* Frees the state: -1 for a null pointer, else 0. */
int G726_decoder_destroy(int* state);

/* Decodes the code words of `bits` bits (2, 3, 4 or 5), packed most significant
 * bit first in `length` bytes at `data`, into `out`, one sample per code word,
 * and returns the number written. `out` must hold (8 * length + 4) / bits
 * samples. Bits left over at the end carry into the next call on the state.
 * Another word size, a null state, null data with a positive length, a null
 * `out` or a negative length return 0 and change nothing. */
int G726_dec(int* state, int bits, unsigned char* data, int length, short* out);

#ifdef __cplusplus
}
#endif

#endif

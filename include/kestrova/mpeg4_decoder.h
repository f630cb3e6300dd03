/* MPEG-4 Visual (simple profile) decoder: one compressed frame in, one planar
 * YUV 4:2:0 picture out per call. Part of libkestrova-codecs. */
#ifndef KESTROVA_MPEG4_DECODER_H
#define KESTROVA_MPEG4_DECODER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The decoder's state record. Callers read the first four fields; the rest of
 * the record is private to the decoder and never copied or allocated by callers. */
typedef struct DECODER {
    /* Picture size in luma samples: 1024 x 768 until a video object layer
     * header gives the stream's own size. */
    int32_t width;
    int32_t height;
    /* Non-zero: the output is twice the width and height (6 x width x height
     * bytes). Set at creation, cleared by a layer header. */
    int32_t doubling;
    /* Non-zero: the luma plane is deblocked before output. Set at creation;
     * callers may clear it between calls. */
    int32_t deblocking;
} DECODER;

/* A new decoder as an integer (cast it to DECODER *), or 0 when memory is short. */
intptr_t decoder_create(void);

/* Decodes one compressed frame at data, optionally preceded by sequence, object,
 * layer, group and user-data headers.
 *   out: on entry the number of bytes at data (below 1 fails); on return the
 *        number of bytes consumed, or 4 after a failure.
 *   dst: receives Y, then Cb, then Cr without borders: width x height x 3 / 2
 *        bytes, or 6 x width x height when doubling.
 * Returns 0 on success, 1 on failure. Nothing is read past data + *out. */
int decoder_decode(DECODER* decoder, unsigned char* dst, unsigned char* data, int* out);

/* The size of the buffer later calls pass as dst: a picture that would not fit
 * fails with 1 and leaves dst alone. Negative: no limit (the state after
 * creation). Returns 0, or -1 for a null decoder. */
int decoder_set_output_capacity(DECODER* decoder, int bytes);

/* Frees the decoder. Returns -1 for a null pointer, else 0. */
int decoder_destroy(DECODER* decoder);

#ifdef __cplusplus
}
#endif

#endif

#pragma once

// MPEG-4 Visual (simple profile) decoder with a plain C interface.
//
// One decoder turns one compressed frame per call into a planar YUV 4:2:0
// picture. Its picture stores are allocated once for the largest picture it
// accepts (1024 x 768), so decoding never allocates.

#include "codec/c_export.h"

#include <cstdint>

// The decoder's state record. Callers read the first four fields directly;
// everything after them is private to the decoder.
struct DECODER {
    // Picture size in luma samples: 1024 x 768 until a video object layer
    // header gives the stream's own size.
    int32_t width;
    int32_t height;
    // Non-zero: the output is delivered at twice the width and height
    // (6 x width x height bytes). Set at creation, cleared by a layer header.
    int32_t doubling;
    // Non-zero: the luma plane is deblocked before output. Set at creation;
    // callers may clear it between calls.
    int32_t deblocking;
};

// Allocates a decoder; returns its address (cast it back to DECODER*), or 0
// when memory is short.
KESTROVA_C_EXPORT intptr_t decoder_create(void);

// Decodes one compressed frame.
//  data:  the frame (optionally preceded by sequence, object, layer, group
//         and user-data headers).
//  out:   on entry, the number of bytes at data; a value below 1 is a failure.
//         On return, 4 after a failure, else the number of bytes consumed.
//  dst:   receives Y, then Cb, then Cr, back to back without borders:
//         width x height x 3 / 2 bytes, or 6 x width x height when doubling.
// Returns 0 on success and 1 on failure. Nothing is read past data + *out.
KESTROVA_C_EXPORT int decoder_decode(DECODER* decoder, unsigned char* dst, unsigned char* data,
                                     int* out);

// States the size of the buffer that later calls pass as dst. A picture whose
// output would not fit then fails with 1 and leaves dst untouched. A negative
// value removes the limit (the state after creation). Returns 0, or -1 for a
// null decoder.
KESTROVA_C_EXPORT int decoder_set_output_capacity(DECODER* decoder, int bytes);

// Frees the decoder. Returns -1 for a null pointer, else 0.
KESTROVA_C_EXPORT int decoder_destroy(DECODER* decoder);

#include <cstddef>

namespace kestrova::mpeg4 {

// Where a decoded picture can be read: plane origins and the distance between lines.
struct PictureView {
    const uint8_t* y = nullptr;
    const uint8_t* cb = nullptr;
    const uint8_t* cr = nullptr;
    ptrdiff_t luma_stride = 0;
    ptrdiff_t chroma_stride = 0;
};

// decoder_decode without the copy out: on success `view` shows the picture where the
// decoder keeps it, valid until the next call. Only a doubling decoder writes dst (its
// picture exists nowhere else) and shows it there. Same arguments and results otherwise.
int decoder_decode_view(DECODER* decoder, unsigned char* dst, unsigned char* data, int* out,
                        PictureView* view);

} // namespace kestrova::mpeg4

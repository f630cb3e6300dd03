#pragma once

// Motion vector decoding: difference codes, median prediction from the
// neighbouring macroblocks, and wrapping into the picture's vector range.

#include "codec/mpeg4/bitreader.h"
#include "codec/mpeg4/state.h"
#include "codec/mpeg4/vlc.h"

namespace kestrova::mpeg4 {

// Predictor for vector `index` (0: whole macroblock, 1..4: Y1..Y4) of
// macroblock (col, row); `mvs` holds one record per macroblock, row-major.
// Candidates before `packet_start` (a macroblock index) are unavailable.
MotionVector predict_vector(const MacroblockVectors* mvs, int col, int row, int mb_cols,
                            int packet_start, int index);

// Adds a decoded difference to a predictor component and wraps the result
// into -32 x f .. 32 x f - 1.
int wrap_vector(int pred, int diff, int f);

// Reads one difference component; false on an invalid code.
bool read_vector_difference(BitReader& br, const VlcTables& t, int fcode, int& diff);

// Reads and stores the vectors of an inter macroblock (one or four).
bool decode_vectors(DecoderState& s, const VlcTables& t, int col, int row, bool four_vectors);

} // namespace kestrova::mpeg4

#pragma once

// The macroblock layer of I and P pictures.

#include "codec/mpeg4/state.h"

namespace kestrova::mpeg4 {

// Decodes every macroblock of the current I picture; false on a decode error.
bool decode_intra_picture(DecoderState& s);
// Decodes every macroblock of the current P picture; false on a decode error.
bool decode_inter_picture(DecoderState& s);

// New quantiser after a DQUANT code (0..3 select -1, -2, +1, +2), kept in 1..31.
int apply_dquant(int qp, int code);

} // namespace kestrova::mpeg4

#pragma once

// Intra blocks: DC size and differential, DC/AC prediction from the left or
// upper neighbour block, inverse quantisation and transform.

#include "codec/mpeg4/state.h"
#include "codec/mpeg4/vlc.h"

namespace kestrova::mpeg4 {

// Chosen prediction for one block.
struct IntraPredictor {
    int direction;                 // 1: from the left block (A), 2: from the block above (C)
    const BlockPrediction* source; // null when the chosen neighbour is unavailable
    int qp;                        // quantiser of the source's macroblock
};

// Picks the predictor of block `b` (0..5) of macroblock (col, row).
IntraPredictor choose_intra_predictor(const DecoderState& s, int col, int row, int b);

// Adds DC and (with ac_pred) AC prediction to the quantised coefficients.
void apply_intra_prediction(int32_t* qf, const IntraPredictor& p, bool ac_pred, int qp,
                            int dc_scale);

// Decodes block `b` of the intra macroblock (col, row) into the current
// planes. False on a decode error.
bool decode_intra_block(DecoderState& s, const VlcTables& t, int col, int row, int b, bool coded,
                        bool ac_pred, int qp);

} // namespace kestrova::mpeg4

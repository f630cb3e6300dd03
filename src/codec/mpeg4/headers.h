#pragma once

// Start-code scan and the header syntax: visual object sequence, visual
// object, video object, video object layer, group of VOP, user data, VOP.

#include "codec/mpeg4/bitreader.h"
#include "codec/mpeg4/state.h"

#include <cstdint>

namespace kestrova::mpeg4 {

// What a video object layer header tells the decoder.
struct LayerInfo {
    int width = 0;
    int height = 0;
    int time_resolution = 1;
    int quant_type = 0;
    bool custom_intra = false;
    bool custom_inter = false;
    uint8_t intra_matrix[64];
    uint8_t inter_matrix[64];
};

// Number of bits of vop_time_increment for a resolution (1..65535): the bits
// needed for resolution - 1, at least 1.
int time_increment_bits(int resolution);

// Parses the layer header whose start code is at the reader's byte position.
//
// Two layouts are accepted. The camera's own form is exactly 14 bytes up to
// the next start code: random_accessible_vol, type, and then the flags
// is_object_layer_identifier, the pixel ratio code and vol_control_parameters
// whose optional fields are absent, the shape, the time resolution, the size,
// quant_type and 10 trailing bits that are ignored. Any other length is read
// with the full syntax (layer verid and priority, pixel ratio, control
// parameters with VBV, fixed increment, quantisation matrices, quarter_sample,
// complexity estimation, newpred and scalability flags). Tools that change the
// picture syntax this decoder reads (non-rectangular shape, sprites,
// interlace, quarter-sample motion, data partitioning, complexity estimation,
// scalability, precision other than 8 bits) make the header fail.
// Leaves the reader at the next start code. False on a malformed or
// unsupported header.
bool parse_layer_header(BitReader& br, LayerInfo& out);

// Reads a VOP header from the reader's position (start code included).
bool parse_vop_header(BitReader& br, StreamParams& stream, VopParams& vop);

enum class ScanResult { Vop, Fail };

// Walks the headers ahead of a VOP, applying any layer header to the state,
// and stops at the VOP start code. Every call does this, so a frame may
// repeat the sequence, layer or group headers, and a call after a failed
// first frame starts afresh; without a layer header the 1024 x 768 defaults
// (or the last layer's values) stay.
ScanResult scan_headers(DecoderState& s);

} // namespace kestrova::mpeg4

#include "codec/mpeg4/macroblock.h"

#include "codec/mpeg4/block.h"
#include "codec/mpeg4/dequant.h"
#include "codec/mpeg4/intra.h"
#include "codec/mpeg4/motion_comp.h"
#include "codec/mpeg4/mv_pred.h"
#include "codec/mpeg4/video_packet.h"
#include "codec/mpeg4/vlc.h"

#include <algorithm>
#include <cstring>

namespace kestrova::mpeg4 {

int apply_dquant(int qp, int code) {
    static constexpr int kSteps[4] = {-1, -2, 1, 2};
    return std::clamp(qp + kSteps[code & 3], 1, 31);
}

namespace {

constexpr MacroblockVectors kZeroVectors{};

// The six intra blocks of macroblock (col, row); coded flags Y1..Y4, Cb, Cr
// from bit 5 down to bit 0 of `cbp`.
bool decode_intra_macroblock(DecoderState& s, const VlcTables& t, int col, int row, int cbp,
                             bool ac_pred, int qp) {
    MacroblockInfo& rec = s.mb_info[row * s.layout.mb_cols + col];
    rec.intra = true;
    rec.qp = qp;
    for (int b = 0; b < 6; ++b)
        if (!decode_intra_block(s, t, col, row, b, (cbp >> (5 - b)) & 1, ac_pred, qp))
            return false;
    return true;
}

bool decode_inter_residual(DecoderState& s, const VlcTables& t, int col, int row, int cbp, int qp) {
    const int ls = s.layout.luma_stride;
    const int cs = s.layout.chroma_stride;
    for (int b = 0; b < 6; ++b) {
        if (!((cbp >> (5 - b)) & 1))
            continue;
        int32_t* qf = s.coeffs; // all zero: the kernels clear it after each block
        const bool by_columns = s.stream.quant_type == 0;
        if (by_columns) {
            if (!decode_inter_h263(s.br, t, qp, qf))
                return false;
        } else {
            uint8_t positions[64];
            int count = 0;
            if (!decode_coefficients(s.br, t, false, kZigzagScan, 0, qf, positions, &count))
                return false;
            dequant_inter_sparse(qf, positions, count, qp, 1, s.stream.inter_matrix);
        }
        uint8_t* dst;
        int stride;
        if (b < 4) {
            stride = ls;
            dst = s.cur_y() + ptrdiff_t{16 * row + 8 * (b >> 1)} * ls + 16 * col + 8 * (b & 1);
        } else {
            stride = cs;
            dst = (b == 4 ? s.cur_cb() : s.cur_cr()) + ptrdiff_t{8 * row} * cs + 8 * col;
        }
        (by_columns ? s.dsp->idct_add_columns : s.dsp->idct_add)(qf, dst, stride);
    }
    return true;
}

// At a resync marker, reads the packet header: the packet must start at the
// expected macroblock. False on a broken header.
bool next_packet(DecoderState& s, int index, int zeros, int& qp) {
    if (index == 0 || !at_resync_marker(s.br, zeros))
        return true;
    int first = 0;
    if (!read_packet_header(s, first, qp) || first != index)
        return false;
    s.packet_start = index;
    return true;
}

} // namespace

bool decode_intra_picture(DecoderState& s) {
    const VlcTables& t = vlc_tables();
    int qp = s.vop.quant;
    const int mb_cols = s.layout.mb_cols;
    const int total = mb_cols * s.layout.mb_rows;
    const int zeros = resync_marker_zeros(s.vop);
    s.packet_start = 0;
    for (int index = 0; index < total; ++index) {
        const int col = index % mb_cols;
        const int row = index / mb_cols;
        if (!next_packet(s, index, zeros, qp))
            return false;
        int mcbpc;
        do {
            mcbpc = t.mcbpc_intra.decode(s.br);
        } while (mcbpc == kMcbpcIntraStuffing && !s.br.overrun());
        if (mcbpc < 0 || mcbpc == kMcbpcIntraStuffing)
            return false;
        const bool ac_pred = s.br.get_bit() != 0;
        const int cbpy = t.cbpy.decode(s.br);
        if (cbpy < 0)
            return false;
        if (mcbpc >= 4)
            qp = apply_dquant(qp, static_cast<int>(s.br.get(2)));
        s.mvs[index] = kZeroVectors;
        s.mb_version[s.current][index] = s.picture_version;
        if (!decode_intra_macroblock(s, t, col, row, (cbpy << 2) | (mcbpc & 3), ac_pred, qp))
            return false;
        if (s.br.overrun())
            return false;
        if (col == mb_cols - 1)
            finish_macroblock_row(s, row);
    }
    return true;
}

namespace {

// One macroblock of a P picture; `qp` is the running quantiser.
bool decode_inter_macroblock(DecoderState& s, const VlcTables& t, int index, int& qp) {
    const int col = index % s.layout.mb_cols;
    const int row = index / s.layout.mb_cols;
    MacroblockInfo& rec = s.mb_info[index];
    bool not_coded;
    int mcbpc;
    do {
        not_coded = s.br.get_bit() != 0;
        mcbpc = not_coded ? 0 : t.mcbpc_inter.decode(s.br);
    } while (mcbpc == kMcbpcInterStuffing && !s.br.overrun());
    if (mcbpc < 0 || mcbpc == kMcbpcInterStuffing)
        return false;
    if (not_coded) {
        // Skipped: keeps the previous picture's samples.
        rec.intra = false;
        rec.qp = qp;
        s.mvs[index] = kZeroVectors;
        uint64_t& mine = s.mb_version[s.current][index];
        const uint64_t reference = s.mb_version[s.current ^ 1][index];
        if (mine != reference) {
            copy_macroblock(s, col, row);
            mine = reference;
        }
        return true;
    }
    s.mb_version[s.current][index] = s.picture_version;
    const auto type = static_cast<MbType>(mcbpc / 4);
    const bool intra = type == MbType::Intra || type == MbType::IntraQ;
    const bool ac_pred = intra && s.br.get_bit() != 0;
    int cbpy = t.cbpy.decode(s.br);
    if (cbpy < 0)
        return false;
    if (!intra)
        cbpy = 15 - cbpy;
    if (type == MbType::InterQ || type == MbType::IntraQ)
        qp = apply_dquant(qp, static_cast<int>(s.br.get(2)));
    const int cbp = (cbpy << 2) | (mcbpc & 3);
    if (intra) {
        s.mvs[index] = kZeroVectors;
        return decode_intra_macroblock(s, t, col, row, cbp, ac_pred, qp);
    }
    rec.intra = false;
    rec.qp = qp;
    const bool four = type == MbType::Inter4V;
    if (!decode_vectors(s, t, col, row, four))
        return false;
    predict_macroblock(s, col, row, s.mvs[index], four);
    return decode_inter_residual(s, t, col, row, cbp, qp);
}

} // namespace

bool decode_inter_picture(DecoderState& s) {
    const VlcTables& t = vlc_tables();
    int qp = s.vop.quant;
    const int total = s.layout.mb_cols * s.layout.mb_rows;
    const int zeros = resync_marker_zeros(s.vop);
    s.packet_start = 0;
    const int mb_cols = s.layout.mb_cols;
    for (int index = 0, col = 0, row = 0; index < total; ++index) {
        if (!next_packet(s, index, zeros, qp) || !decode_inter_macroblock(s, t, index, qp) ||
            s.br.overrun())
            return false;
        if (++col == mb_cols) {
            finish_macroblock_row(s, row++);
            col = 0;
        }
    }
    return true;
}

} // namespace kestrova::mpeg4

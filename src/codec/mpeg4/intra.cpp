#include "codec/mpeg4/intra.h"

#include "codec/mpeg4/block.h"
#include "codec/mpeg4/dequant.h"
#include "codec/mpeg4/idct.h"
#include "codec/mpeg4/vlc_tables.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kestrova::mpeg4 {
namespace {

struct Neighbour {
    int dcol;
    int drow;
    int block;
};

// Neighbours A (left), B (above left) and C (above) of each block.
constexpr Neighbour kNeighbours[6][3] = {
    {{-1, 0, 1}, {-1, -1, 3}, {0, -1, 2}}, // Y1
    {{0, 0, 0}, {0, -1, 2}, {0, -1, 3}},   // Y2
    {{-1, 0, 3}, {-1, 0, 1}, {0, 0, 0}},   // Y3
    {{0, 0, 2}, {0, 0, 0}, {0, 0, 1}},     // Y4
    {{-1, 0, 4}, {-1, -1, 4}, {0, -1, 4}}, // Cb
    {{-1, 0, 5}, {-1, -1, 5}, {0, -1, 5}}, // Cr
};

constexpr int kUnavailableDc = 1024;

inline int32_t clamp_coeff(int32_t v) {
    return std::clamp(v, -2048, 2047);
}

} // namespace

IntraPredictor choose_intra_predictor(const DecoderState& s, int col, int row, int b) {
    const BlockPrediction* n[3];
    int qp[3];
    int dc[3];
    for (int i = 0; i < 3; ++i) {
        const Neighbour& k = kNeighbours[b][i];
        const int x = col + k.dcol;
        const int y = row + k.drow;
        n[i] = nullptr;
        qp[i] = 0;
        dc[i] = kUnavailableDc;
        if (x < 0 || y < 0 || y * s.layout.mb_cols + x < s.packet_start)
            continue;
        const int index = y * s.layout.mb_cols + x;
        const MacroblockInfo& mb = s.mb_info[index];
        if (!mb.intra)
            continue;
        n[i] = &s.mbs[index].blocks[k.block];
        qp[i] = mb.qp;
        dc[i] = n[i]->dc;
    }
    if (std::abs(dc[0] - dc[1]) < std::abs(dc[1] - dc[2]))
        return {2, n[2], qp[2]};
    return {1, n[0], qp[0]};
}

void apply_intra_prediction(int32_t* qf, const IntraPredictor& p, bool ac_pred, int qp,
                            int dc_scale) {
    if (!p.source) {
        qf[0] = clamp_coeff(qf[0] + div_round(kUnavailableDc, dc_scale));
        return;
    }
    qf[0] = clamp_coeff(qf[0] + div_round(p.source->dc, dc_scale));
    if (!ac_pred)
        return;
    const int32_t* src = p.direction == 1 ? p.source->col : p.source->row;
    const int step = p.direction == 1 ? 8 : 1;
    for (int i = 0; i < 7; ++i) {
        int32_t v = src[i];
        if (p.qp != qp)
            v = div_round(v * p.qp, qp);
        int32_t& dst = qf[step * (i + 1)];
        dst = clamp_coeff(dst + v);
    }
}

bool decode_intra_block(DecoderState& s, const VlcTables& t, int col, int row, int b, bool coded,
                        bool ac_pred, int qp) {
    const bool chroma = b >= 4;
    const int scale = dc_scaler(qp, chroma);
    const IntraPredictor pred = choose_intra_predictor(s, col, row, b);

    int32_t* qf = s.coeffs; // all zero: the kernels clear it after each block
    const int size = (chroma ? t.dc_chroma : t.dc_luma).decode(s.br);
    if (size < 0)
        return false;
    qf[0] = read_dc_differential(s.br, size);
    // Raster positions written besides the DC (MPEG method).
    uint64_t nonzero = 0;
    const bool h263 = s.stream.quant_type == 0;
    if (coded) {
        const uint8_t* scan = kZigzagScan;
        if (ac_pred)
            scan = pred.direction == 2 ? kAltHorizontalScan : kAltVerticalScan;
        const bool ok = h263 ? decode_intra_h263(s.br, t, qp, scan, qf)
                             : decode_intra_coefficients(s.br, t, scan, qf, &nonzero);
        if (!ok)
            return false;
    }
    apply_intra_prediction(qf, pred, ac_pred, qp, scale);

    BlockPrediction& rec = s.mbs[row * s.layout.mb_cols + col].blocks[b];
    for (int i = 0; i < 7; ++i) {
        rec.row[i] = qf[i + 1];
        rec.col[i] = qf[8 * (i + 1)];
    }
    uint8_t* dst;
    int stride;
    if (!chroma) {
        stride = s.layout.luma_stride;
        dst = s.cur_y() + ptrdiff_t{16 * row + 8 * (b >> 1)} * stride + 16 * col + 8 * (b & 1);
    } else {
        stride = s.layout.chroma_stride;
        dst = (b == 4 ? s.cur_cb() : s.cur_cr()) + ptrdiff_t{8 * row} * stride + 8 * col;
    }
    const bool ac_predicted = ac_pred && pred.source;
    if (h263 && !coded && !ac_predicted) {
        // Only the DC term: most intra blocks of flat pictures.
        rec.dc = static_cast<int32_t>(std::clamp<int64_t>(int64_t{qf[0]} * scale, -2048, 2047));
        qf[0] = 0;
        idct_put_dc(rec.dc, dst, stride);
        return true;
    }
    if (h263) {
        // Decoding dequantised the rest; the first row and column are left.
        dequant_intra_edges_h263(qf, qp, scale);
    } else {
        dequant_intra(qf, qp, scale, s.stream.quant_type, s.stream.intra_matrix);
    }
    rec.dc = qf[0];
    s.dsp->idct_put(qf, dst, stride);
    return true;
}

} // namespace kestrova::mpeg4

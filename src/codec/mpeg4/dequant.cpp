#include "codec/mpeg4/dequant.h"

#include <algorithm>
#include <cstdlib>

namespace kestrova::mpeg4 {
namespace {

inline int32_t saturate(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, -2048, 2047));
}

// The H.263 method for one non-zero level: |F| = qp (2 |QF| + 1), less one for an even
// qp, saturated. In 32-bit arithmetic for qp 1..31 (all a stream can carry): a
// magnitude past 2049 saturates anyway, so clamping it there first changes no result.
inline int32_t h263_level(int32_t qf, int qp) {
    const int32_t a = static_cast<int32_t>(std::min(std::abs(int64_t{qf}), int64_t{2049}));
    const int32_t mag = qp * (2 * a + 1) - ((qp & 1) ? 0 : 1);
    return qf < 0 ? -std::min(mag, 2048) : std::min(mag, 2047);
}

// Mismatch control of the MPEG method: an even sum over a non-zero block
// flips the lowest bit of the last coefficient.
void mismatch_control(int32_t* block) {
    int64_t sum = 0;
    bool any = false;
    for (int i = 0; i < 64; ++i) {
        sum += block[i];
        any |= block[i] != 0;
    }
    if (any && (sum & 1) == 0)
        block[63] ^= 1;
}

} // namespace

int dc_scaler(int qp, bool chroma) {
    if (qp <= 4)
        return 8;
    if (chroma)
        return qp <= 24 ? (qp + 13) / 2 : qp - 6;
    if (qp <= 8)
        return 2 * qp;
    return qp <= 24 ? qp + 8 : 2 * qp - 16;
}

void dequant_intra(int32_t* block, int qp, int dc_scale, int quant_type, const uint8_t* matrix) {
    block[0] = saturate(int64_t{block[0]} * dc_scale);
    if (quant_type == 0) {
        for (int i = 1; i < 64; ++i)
            if (block[i] != 0)
                block[i] = h263_level(block[i], qp);
        return;
    }
    for (int i = 1; i < 64; ++i) {
        if (block[i] == 0)
            continue;
        const int64_t v = int64_t{block[i]} * matrix[i] * qp;
        block[i] = saturate(v / 8);
    }
    mismatch_control(block);
}

void dequant_intra_h263(int32_t* block, uint64_t nonzero, int qp, int dc_scale) {
    block[0] = saturate(int64_t{block[0]} * dc_scale);
    for (nonzero &= ~uint64_t{1}; nonzero != 0; nonzero &= nonzero - 1) {
        int32_t& v = block[__builtin_ctzll(nonzero)];
        if (v != 0)
            v = h263_level(v, qp);
    }
}

void dequant_intra_edges_h263(int32_t* block, int qp, int dc_scale) {
    block[0] = saturate(int64_t{block[0]} * dc_scale);
    // Straight-line, branch-free 32-bit arithmetic the compiler vectorises:
    // these values are mostly zero, in no predictable pattern. Clamping |v|
    // at 2049 first keeps qp (2 |v| + 1) within 32 bits and changes no result.
    const int32_t even = (qp & 1) ? 0 : 1;
    int32_t row[7], col[7];
    for (int i = 0; i < 7; ++i) {
        row[i] = block[i + 1];
        col[i] = block[8 * (i + 1)];
    }
    auto level = [qp, even](int32_t v) {
        const int32_t a = std::min(v < 0 ? -v : v, 2049);
        const int32_t mag = qp * (2 * a + 1) - even;
        const int32_t r = v < 0 ? -std::min(mag, 2048) : std::min(mag, 2047);
        return v == 0 ? 0 : r;
    };
    for (int i = 0; i < 7; ++i) {
        row[i] = level(row[i]);
        col[i] = level(col[i]);
    }
    for (int i = 0; i < 7; ++i) {
        block[i + 1] = row[i];
        block[8 * (i + 1)] = col[i];
    }
}

void dequant_inter_sparse(int32_t* block, const uint8_t* positions, int count, int qp,
                          int quant_type, const uint8_t* matrix) {
    if (quant_type == 0) {
        for (int k = 0; k < count; ++k) {
            int32_t& v = block[positions[k]];
            if (v != 0)
                v = h263_level(v, qp);
        }
        return;
    }
    int64_t sum = 0;
    for (int k = 0; k < count; ++k) {
        int32_t& f = block[positions[k]];
        const int32_t qf = f;
        if (qf == 0)
            continue;
        const int64_t v = (2 * int64_t{qf} + (qf > 0 ? 1 : -1)) * matrix[positions[k]] * qp;
        f = saturate(v / 16);
        sum += f;
    }
    // Mismatch control (see mismatch_control); only listed positions are set.
    bool any = false;
    for (int k = 0; k < count; ++k)
        any |= block[positions[k]] != 0;
    if (any && (sum & 1) == 0)
        block[63] ^= 1;
}

void dequant_inter(int32_t* block, int qp, int quant_type, const uint8_t* matrix) {
    uint8_t positions[64];
    int count = 0;
    for (int i = 0; i < 64; ++i)
        if (block[i] != 0)
            positions[count++] = static_cast<uint8_t>(i);
    dequant_inter_sparse(block, positions, count, qp, quant_type, matrix);
}

} // namespace kestrova::mpeg4

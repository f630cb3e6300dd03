#include "codec/mpeg4/mv_pred.h"

#include <algorithm>

namespace kestrova::mpeg4 {
namespace {

inline int median3(int a, int b, int c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

struct Candidate {
    int dcol; // macroblock offset; (0, 0) is the macroblock itself
    int drow;
    int index;
};

// Left, above and above-right candidates for each vector index.
constexpr Candidate kCandidates[5][3] = {
    {{-1, 0, 2}, {0, -1, 3}, {1, -1, 3}}, // whole macroblock
    {{-1, 0, 2}, {0, -1, 3}, {1, -1, 3}}, // Y1
    {{0, 0, 1}, {0, -1, 4}, {1, -1, 3}},  // Y2
    {{-1, 0, 4}, {0, 0, 1}, {0, 0, 2}},   // Y3
    {{0, 0, 3}, {0, 0, 1}, {0, 0, 2}},    // Y4
};

} // namespace

MotionVector predict_vector(const MacroblockVectors* mvs, int col, int row, int mb_cols,
                            int packet_start, int index) {
    MotionVector c[3];
    int available = 0;
    int last = 0;
    for (int i = 0; i < 3; ++i) {
        const Candidate& k = kCandidates[index][i];
        const int x = col + k.dcol;
        const int y = row + k.drow;
        if (x < 0 || x >= mb_cols || y < 0 || y * mb_cols + x < packet_start) {
            c[i] = {0, 0};
            continue;
        }
        c[i] = mvs[y * mb_cols + x][k.index];
        ++available;
        last = i;
    }
    if (available == 1)
        return c[last];
    return {median3(c[0].x, c[1].x, c[2].x), median3(c[0].y, c[1].y, c[2].y)};
}

int wrap_vector(int pred, int diff, int f) {
    int v = pred + diff;
    if (v < -32 * f)
        v += 64 * f;
    else if (v >= 32 * f)
        v -= 64 * f;
    return v;
}

bool read_vector_difference(BitReader& br, const VlcTables& t, int fcode, int& diff) {
    // Code (at most 13 bits), sign and fcode - 1 <= 6 residual bits all lie
    // in one 32-bit window.
    const uint32_t w = br.peek32();
    const VlcTable::Entry e = t.mv.entry(w >> (32 - t.mv.max_len()));
    const int mag = e.symbol;
    if (mag < 0)
        return false;
    if (mag == 0) {
        br.skip(e.len);
        diff = 0;
        return true;
    }
    const bool negative = ((w << e.len) >> 31) != 0;
    int d = mag;
    int bits = e.len + 1;
    if (fcode > 1) {
        const int f = 1 << (fcode - 1);
        const int r = static_cast<int>((w << bits) >> (32 - (fcode - 1)));
        bits += fcode - 1;
        d = (mag - 1) * f + r + 1;
    }
    br.skip(bits);
    diff = negative ? -d : d;
    return true;
}

bool decode_vectors(DecoderState& s, const VlcTables& t, int col, int row, bool four_vectors) {
    const int mb_cols = s.layout.mb_cols;
    MacroblockVectors& own = s.mvs[row * mb_cols + col];
    const int f = 1 << (s.vop.fcode - 1);
    const int first = four_vectors ? 1 : 0;
    const int last = four_vectors ? 4 : 0;
    for (int i = first; i <= last; ++i) {
        const MotionVector p = predict_vector(s.mvs.get(), col, row, mb_cols, s.packet_start, i);
        int dx, dy;
        if (!read_vector_difference(s.br, t, s.vop.fcode, dx) ||
            !read_vector_difference(s.br, t, s.vop.fcode, dy))
            return false;
        const MotionVector v{wrap_vector(p.x, dx, f), wrap_vector(p.y, dy, f)};
        if (four_vectors)
            own[i] = v;
        else
            own.fill(v);
    }
    return true;
}

} // namespace kestrova::mpeg4

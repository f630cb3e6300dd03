#pragma once

// The luma deblocking filter on vectors of byte lanes, one run of ten
// samples per lane, written once for every vector width. A kernel file
// defines KESTROVA_VEC (the target attribute of its instruction set) and a
// lane type V before including this header:
//   Vec, Mask (one bit or byte per byte lane), Mask16 (per 16-bit lane),
//   kLanes (32 or 64): lanes per vector, a multiple of 16;
//   load/store of kLanes bytes, load_lines/store_lines: kLanes / 16 pieces
//   of 16 bytes, piece j at line(j) (stored only where j < pieces);
//   transpose_parts over kLanes / 16 vectors (see square_in below), and
//   load_parts, the same on kLanes bytes at each line(j);
//   byte, 16-bit and mask operations as named below; high_nibble(v) and
//   low_nibble_up(v) are v shifted right and left by 4 in each byte.
// Everything here has internal linkage, so each kernel file has its own
// copy compiled for its instruction set.

#include "codec/mpeg4/deblock.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kestrova::mpeg4 {
namespace {

// Strengths past this go to the plain filter: the 8-bit thresholds below
// need 2 qp - 129 >= -128 and 2 qp - 1 < 128. Streams give at most 31 + 5.
constexpr int kMaxVectorQp = 63;

// Decisions are made on bytes; only the arithmetic that needs more than
// eight bits is done on 16-bit halves.
template <class V> struct Limits {
    typename V::Vec near_add, near_gt; // |s1 - s0| < qp on saturated differences
    typename V::Vec span;              // 2 qp - 1: the widest s1..s8 that is smoothed
    typename V::Vec eight_qp;          // 8 qp in 16-bit lanes
};

template <class V> KESTROVA_VEC inline Limits<V> limits_for(int qp) {
    return {V::set8(qp - 129), V::set8(2 * qp - 129), V::set8(2 * qp - 1), V::set16(8 * qp)};
}

// Lanes where the saturated difference x (of samples flipped to signed)
// is within (-t, t): x + t - 1 lies in [0, 2t - 2], so x + t - 129 lies in
// [-128, 2t - 130] and wraps to t - 1 or more everywhere else.
template <class V>
KESTROVA_VEC inline typename V::Mask near(typename V::Vec x, typename V::Vec add,
                                          typename V::Vec gt) {
    return V::gt_i8(gt, V::add8(x, add));
}

// 2a - 5b + 5c - 2d in 16-bit lanes, from the pairs (a, b) and (c, d)
// interleaved byte by byte.
template <class V>
KESTROVA_VEC inline typename V::Vec activity(typename V::Vec ab, typename V::Vec cd) {
    const typename V::Vec w_ab = V::set16(static_cast<short>(0xfb02)); // 2, -5
    const typename V::Vec w_cd = V::set16(static_cast<short>(0xfe05)); // 5, -2
    return V::add16(V::maddubs(ab, w_ab), V::maddubs(cd, w_cd));
}

// The default mode's move of s4 (s5 moves the other way) on half the runs
// in 16-bit lanes, before it is limited to half the gap between them; 0
// where the mode leaves the run. Takes the pairs (s1, s2) .. (s7, s8).
// Every intermediate fits in 16 bits (14 x 255 for an activity, 5 x 8 x 63
// + 32 for the move), and the move itself in 8 (at most 39).
template <class V>
KESTROVA_VEC inline typename V::Vec default_move(typename V::Vec p12, typename V::Vec p34,
                                                 typename V::Vec p56, typename V::Vec p78,
                                                 typename V::Vec eight_qp) {
    const typename V::Vec a0 = activity<V>(p34, p56);
    const typename V::Vec abs_a0 = V::abs16(a0);
    const typename V::Vec m =
        V::min16(V::abs16(activity<V>(p12, p34)), V::abs16(activity<V>(p56, p78)));
    const typename V::Mask16 use = V::and16(V::gt16(eight_qp, abs_a0), V::gt16(abs_a0, m));
    const typename V::Vec diff = V::sub16(abs_a0, m);
    const typename V::Vec t =
        V::template srai16<6>(V::add16(V::add16(V::template slli16<2>(diff), diff), V::set16(32)));
    return V::keep16(V::sign16(t, a0), use);
}

// The nine-tap smoothing {1,1,2,2,4,2,2,1,1} / 16 of s1..s8 before the
// final shift: out[n] = weighted sum n + `start` (8 for the rounding, and
// what else the caller folds in), v[0] and v[9] holding the padding p0 and
// p9. Sum n is W_n + 2 s_n, where W_n, a nine-sample box plus the
// five-sample box at its centre (padded ends folded in), slides by adding
// and dropping pair sums. L is Wide (16-bit) or Narrow (8-bit lanes, whose
// sums wrap modulo 256).
template <class V> struct Wide {
    using Vec = typename V::Vec;
    KESTROVA_VEC static Vec add(Vec a, Vec b) { return V::add16(a, b); }
    KESTROVA_VEC static Vec sub(Vec a, Vec b) { return V::sub16(a, b); }
};
template <class V> struct Narrow {
    using Vec = typename V::Vec;
    KESTROVA_VEC static Vec add(Vec a, Vec b) { return V::add8(a, b); }
    KESTROVA_VEC static Vec sub(Vec a, Vec b) { return V::sub8(a, b); }
};

template <class L, class Vec>
KESTROVA_VEC inline void smooth_sums(const Vec* v, Vec start, Vec* out) {
    const Vec p = v[0], q = v[9];
    const Vec p2 = L::add(p, p), q2 = L::add(q, q);
    const Vec g3 = L::add(p, v[1]), g4 = L::add(p, v[2]), g5 = L::add(v[1], v[3]);
    const Vec g6 = L::add(v[2], v[4]), g7 = L::add(v[3], v[5]), g8 = L::add(v[4], v[6]);
    const Vec g9 = L::add(v[5], v[7]), g10 = L::add(v[6], v[8]), g11 = L::add(v[7], q);
    const Vec g12 = L::add(v[8], q);
    // Added and dropped pair sums for W_2 .. W_8.
    const Vec step[7][2] = {{g8, p2},  {g9, p2}, {g10, g3}, {g11, g4},
                            {g12, g5}, {q2, g6}, {q2, g7}};
    // W_1 = 6 p0 + 2 (s1 + s2 + s3) + s4 + s5, plus the start.
    Vec w = L::add(L::add(g5, v[2]), L::add(p2, p));
    w = L::add(L::add(w, w), L::add(L::add(v[4], v[5]), start));
    for (int n = 1; n <= 8; ++n) {
        out[n] = L::add(L::add(w, v[n]), v[n]);
        if (n < 8)
            w = L::add(w, L::sub(step[n - 1][0], step[n - 1][1]));
    }
}

// Filters the kLanes runs whose sample i is at p + i x stride as
// deblock_samples does (s1..s8 replaced); false when no sample changed. The
// samples are read from memory where needed rather than held, which keeps
// the vector registers for the 16-bit arithmetic.
template <class V>
__attribute__((always_inline)) KESTROVA_VEC inline bool filter_runs(uint8_t* p, ptrdiff_t stride,
                                                                    const Limits<V>& k) {
    using Vec = typename V::Vec;
    using Mask = typename V::Mask;
    const auto at = [p, stride](int i) { return p + i * stride; };
    const Vec flip = V::set8(0x80);
    const Vec pair_add = V::set8(-126), pair_gt = V::set8(-123);
    // Near pairs (at most 2 apart), counted negatively; differences are
    // taken saturated on samples flipped to signed.
    Vec count = V::zero(), x0 = count, x8 = count, steps = count;
    Vec prev = V::xor_(V::load(at(0)), flip);
    for (int i = 0; i < 9; ++i) {
        const Vec next = V::xor_(V::load(at(i + 1)), flip);
        const Vec x = V::subs_i8(prev, next);
        count = V::count_down(count, near<V>(x, pair_add, pair_gt));
        steps = V::or_(steps, x);
        prev = next;
        if (i == 0)
            x0 = x;
        if (i == 8)
            x8 = x;
    }
    // Runs of ten equal samples come out as they went in (they are smoothed
    // to themselves); flat picture areas give whole vectors of them.
    if (!V::any_nonzero(steps))
        return false;
    const Mask flat = V::gt_i8(V::set8(-5), count); // six or more
    bool changed = false;
    // Each mode is only worked out when some lane uses it; lanes of the other
    // mode keep their samples, so the modes do not disturb each other.
    if (!V::all(flat)) {
        const Vec s1 = V::load(at(1)), s2 = V::load(at(2)), s3 = V::load(at(3));
        const Vec s4 = V::load(at(4)), s5 = V::load(at(5)), s6 = V::load(at(6));
        const Vec s7 = V::load(at(7)), s8 = V::load(at(8));
        const Vec lo = default_move<V>(V::unpacklo8(s1, s2), V::unpacklo8(s3, s4),
                                       V::unpacklo8(s5, s6), V::unpacklo8(s7, s8), k.eight_qp);
        const Vec hi = default_move<V>(V::unpackhi8(s1, s2), V::unpackhi8(s3, s4),
                                       V::unpackhi8(s5, s6), V::unpackhi8(s7, s8), k.eight_qp);
        Vec e = V::drop(V::packs16(lo, hi), flat);
        if (V::any_nonzero(e)) {
            // Limited to (s4 - s5) / 2, rounded towards 0: to [-gap_down,
            // gap_up] with the halved gaps as bytes, one of them 0.
            const Vec low7 = V::set8(0x7f);
            const Vec gap_down = V::and_(V::template srli16<1>(V::subs_u8(s4, s5)), low7);
            const Vec gap_up = V::and_(V::template srli16<1>(V::subs_u8(s5, s4)), low7);
            e = V::min_i8(V::max_i8(e, V::sub8(V::zero(), gap_down)), gap_up);
            if (V::any_nonzero(e)) {
                V::store(at(4), V::add8(s4, e));
                V::store(at(5), V::sub8(s5, e));
                changed = true;
            }
        }
    }
    if (V::none(flat))
        return changed;

    Vec mx = V::load(at(1)), mn = mx;
    for (int i = 2; i <= 8; ++i) {
        mx = V::max_u8(mx, V::load(at(i)));
        mn = V::min_u8(mn, V::load(at(i)));
    }
    const Mask smooth = V::mask_and(flat, V::le_u8(V::sub8(mx, mn), k.span));
    if (V::none(smooth))
        return changed;
    const Vec p0 = V::select(near<V>(x0, k.near_add, k.near_gt), V::load(at(0)), V::load(at(1)));
    const Vec p9 = V::select(near<V>(x8, k.near_add, k.near_gt), V::load(at(9)), V::load(at(8)));
    Vec out[9];
    // Runs whose ten samples (padding included) lie within 16 of their
    // smallest, base, are smoothed on bytes: their sums less 16 base lie in
    // [8, 248], so sums started at 8 - 16 base wrap to exactly that.
    const Vec base = V::min_u8(mn, V::min_u8(p0, p9));
    const Vec top = V::max_u8(mx, V::max_u8(p0, p9));
    const Vec wide = V::subs_u8(V::sub8(top, base), V::set8(15));
    if (!V::any_nonzero_in(wide, smooth)) {
        Vec v[10];
        v[0] = p0;
        v[9] = p9;
        for (int i = 1; i <= 8; ++i)
            v[i] = V::load(at(i));
        smooth_sums<Narrow<V>>(v, V::sub8(V::set8(8), V::low_nibble_up(base)), out);
        for (int n = 1; n <= 8; ++n)
            out[n] = V::add8(base, V::high_nibble(out[n]));
    } else {
        const Vec zero = V::zero();
        Vec v[10], out_lo[9], out_hi[9];
        v[0] = V::unpacklo8(p0, zero);
        v[9] = V::unpacklo8(p9, zero);
        for (int i = 1; i <= 8; ++i)
            v[i] = V::unpacklo8(V::load(at(i)), zero);
        smooth_sums<Wide<V>>(v, V::set16(8), out_lo);
        v[0] = V::unpackhi8(p0, zero);
        v[9] = V::unpackhi8(p9, zero);
        for (int i = 1; i <= 8; ++i)
            v[i] = V::unpackhi8(V::load(at(i)), zero);
        smooth_sums<Wide<V>>(v, V::set16(8), out_hi);
        for (int n = 1; n <= 8; ++n)
            out[n] =
                V::packus16(V::template srli16<4>(out_lo[n]), V::template srli16<4>(out_hi[n]));
    }
    const bool all = V::all(smooth);
    for (int n = 1; n <= 8; ++n)
        V::store(at(n), all ? out[n] : V::select(smooth, out[n], V::load(at(n))));
    return true;
}

// One horizontal edge, from `line` five lines above it: columns are
// independent; each edge reads what the one above it wrote, so edges go in
// order.
template <class V>
KESTROVA_VEC void horizontal_edge(uint8_t* line, ptrdiff_t stride, int width, const Limits<V>& k) {
    constexpr int kLanes = V::kLanes;
    int x = 0;
    for (; x + kLanes <= width; x += kLanes)
        filter_runs<V>(line + x, stride, k);
    if (x == width)
        return;
    // The last columns through a copy, so no byte past the plane is read.
    alignas(64) uint8_t part[10][kLanes] = {};
    const size_t n = size_t(width - x);
    for (int i = 0; i < 10; ++i)
        std::memcpy(part[i], line + i * stride + x, n);
    filter_runs<V>(part[0], kLanes, k);
    for (int i = 1; i <= 8; ++i)
        std::memcpy(line + i * stride + x, part[i], n);
}

// Where the unpack network below leaves column c: bit-reversed order.
constexpr int kColumnSlot[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};

// 16 x 16 byte transpositions, one per 128-bit part of the vectors.
template <class V> KESTROVA_VEC inline void transpose16(typename V::Vec* r) {
    typename V::Vec a[16], b[16];
    for (int i = 0; i < 8; ++i) {
        a[2 * i] = V::unpacklo8(r[2 * i], r[2 * i + 1]);
        a[2 * i + 1] = V::unpackhi8(r[2 * i], r[2 * i + 1]);
    }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 2; ++j) {
            b[4 * i + j] = V::unpacklo16(a[4 * i + j], a[4 * i + j + 2]);
            b[4 * i + j + 2] = V::unpackhi16(a[4 * i + j], a[4 * i + j + 2]);
        }
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 4; ++j) {
            a[8 * i + j] = V::unpacklo32(b[8 * i + j], b[8 * i + j + 4]);
            a[8 * i + j + 4] = V::unpackhi32(b[8 * i + j], b[8 * i + j + 4]);
        }
    for (int j = 0; j < 8; ++j) {
        b[j] = V::unpacklo64(a[j], a[j + 8]);
        b[j + 8] = V::unpackhi64(a[j], a[j + 8]);
    }
    for (int c = 0; c < 16; ++c)
        r[c] = b[kColumnSlot[c]];
}

// Start of the tile after the one at t, of the w-column tiles covering
// n >= w columns (the last one overlaps its neighbour when n is not a
// multiple of w); n when done.
inline int next_tile(int t, int n, int w) {
    return t + w >= n ? n : std::min(t + w, n - w);
}

// Up to kLanes lines of the plane; lines past `rows` repeat the last one, so
// that the vector lanes they fill read inside the plane (and are not stored).
template <bool kFull> struct Strip {
    uint8_t* top;
    ptrdiff_t stride;
    int rows;
    uint8_t* line(int i) const { return top + (kFull ? i : std::min(i, rows - 1)) * stride; }
    bool has(int i) const { return kFull || i < rows; }
};

// Columns transposed at a time for the vertical edges; wider planes go
// through several overlapping windows.
template <class V> constexpr int kWindow = 1024;
template <class V> using Columns = uint8_t[kWindow<V>][V::kLanes];

// A square of kLanes lines by kLanes columns goes through parts of 16 x 16
// bytes: lines i, i + 16, ... have their 128-bit parts exchanged
// (V::transpose_parts) so that vector p holds columns 16 p .. 16 p + 15 of
// all of them, and each set of sixteen such vectors is transposed as above.
// Whole lines are loaded and stored, and no more shuffles are spent than the
// transposition needs.
template <class V> constexpr int kParts = V::kLanes / 16;
template <class V> using Parts = typename V::Vec[kParts<V>][16];

template <class V, bool kFull>
KESTROVA_VEC inline void square_in(const Strip<kFull>& strip, int x, Parts<V>& parts,
                                   uint8_t (*cols)[V::kLanes]) {
    for (int i = 0; i < 16; ++i) {
        typename V::Vec r[kParts<V>];
        V::load_parts([&](int j) { return strip.line(i + 16 * j) + x; }, r);
        for (int p = 0; p < kParts<V>; ++p)
            parts[p][i] = r[p];
    }
    for (int p = 0; p < kParts<V>; ++p) {
        typename V::Vec r[16];
        for (int i = 0; i < 16; ++i)
            r[i] = parts[p][i];
        transpose16<V>(r);
        for (int c = 0; c < 16; ++c)
            V::store(cols[16 * p + c], r[c]);
    }
}

template <class V, bool kFull>
KESTROVA_VEC inline void square_out(const uint8_t (*cols)[V::kLanes], Parts<V>& parts,
                                    const Strip<kFull>& strip, int x) {
    for (int p = 0; p < kParts<V>; ++p) {
        typename V::Vec r[16];
        for (int c = 0; c < 16; ++c)
            r[c] = V::load(cols[16 * p + c]);
        transpose16<V>(r);
        for (int i = 0; i < 16; ++i)
            parts[p][i] = r[i];
    }
    for (int i = 0; i < 16; ++i) {
        typename V::Vec r[kParts<V>];
        for (int p = 0; p < kParts<V>; ++p)
            r[p] = parts[p][i];
        V::transpose_parts(r);
        for (int j = 0; j < kParts<V>; ++j)
            if (strip.has(i + 16 * j))
                V::store(strip.line(i + 16 * j) + x, r[j]);
    }
}

// Columns x0 .. x0 + n - 1 of the strip into `cols` (entry c holds column
// x0 + c, line i in byte i): by squares where n allows, else by 16 columns
// (each vector gathered from kLanes / 16 lines).
template <class V, bool kFull>
KESTROVA_VEC void columns_in(const Strip<kFull>& strip, int x0, int n, Columns<V>& cols) {
    constexpr int kLanes = V::kLanes;
    if (n >= kLanes) {
        alignas(64) Parts<V> parts;
        for (int t = 0; t < n; t = next_tile(t, n, kLanes))
            square_in<V>(strip, x0 + t, parts, cols + t);
        return;
    }
    for (int t = 0; t < n; t = next_tile(t, n, 16)) {
        typename V::Vec r[16];
        for (int i = 0; i < 16; ++i)
            r[i] = V::load_lines([&](int j) { return strip.line(i + 16 * j) + x0 + t; });
        transpose16<V>(r);
        for (int c = 0; c < 16; ++c)
            V::store(cols[t + c], r[c]);
    }
}

// Which 16-column groups of a window an edge changed; only tiles touching
// one of them go back into the plane.
template <class V> struct Changed {
    bool group[kWindow<V> / 16] = {};
    bool any = false;
    void mark(int first, int last) { group[first / 16] = group[last / 16] = any = true; }
    bool in(int t, int w) const {
        for (int g = t / 16; g <= (t + w - 1) / 16; ++g)
            if (group[g])
                return true;
        return false;
    }
};

template <class V, bool kFull>
KESTROVA_VEC void columns_out(const Columns<V>& cols, const Changed<V>& changed,
                              const Strip<kFull>& strip, int x0, int n) {
    constexpr int kLanes = V::kLanes;
    if (n >= kLanes) {
        alignas(64) Parts<V> parts;
        for (int t = 0; t < n; t = next_tile(t, n, kLanes))
            if (changed.in(t, kLanes))
                square_out<V>(cols + t, parts, strip, x0 + t);
        return;
    }
    for (int t = 0; t < n; t = next_tile(t, n, 16)) {
        if (!changed.in(t, 16))
            continue;
        typename V::Vec r[16];
        for (int c = 0; c < 16; ++c)
            r[c] = V::load(cols[t + c]);
        transpose16<V>(r);
        for (int i = 0; i < 16; ++i) {
            const int pieces = kFull ? kParts<V> : (strip.rows - i + 15) / 16;
            V::store_lines(r[i], pieces, [&](int j) { return strip.line(i + 16 * j) + x0 + t; });
        }
    }
}

// Vertical edges of a strip through transposed columns: lines are
// independent of each other, and each edge reads what the one left of it
// wrote. Needs width >= 16.
template <class V, bool kFull>
KESTROVA_VEC void vertical_edges(const Strip<kFull>& strip, int width, const Limits<V>& k,
                                 Columns<V>& cols) {
    for (int edge = 8; edge + 4 < width;) {
        const int x0 = std::min(edge - 5, width - 16);
        const int n = std::min(kWindow<V>, width - x0);
        columns_in<V>(strip, x0, n, cols);
        Changed<V> changed;
        for (; edge + 4 < x0 + n; edge += 8)
            if (filter_runs<V>(cols[edge - 5 - x0], V::kLanes, k))
                changed.mark(edge - 4 - x0, edge + 3 - x0); // s1 .. s8
        if (changed.any)
            columns_out<V>(cols, changed, strip, x0, n);
    }
}

template <class V>
KESTROVA_VEC void deblock_luma_vector(uint8_t* plane, ptrdiff_t stride, int width, int height,
                                      int qp) {
    constexpr int kLanes = V::kLanes;
    if (qp <= 0)
        return; // no run passes either mode's threshold
    if (qp > kMaxVectorQp || width < 16)
        return deblock_luma(plane, stride, width, height, qp);
    const Limits<V> k = limits_for<V>(qp);
    // Strip by strip, so that the lines stay in the cache between the two
    // directions: a strip's vertical edges go once no horizontal edge is
    // left that reads or writes its lines (the one at its bottom line + 1
    // writes up to three lines into it).
    alignas(64) Columns<V> cols;
    int edge = 8; // next horizontal edge
    for (int y0 = 0; y0 < height; y0 += kLanes) {
        for (; edge <= y0 + kLanes && edge + 4 < height; edge += 8)
            horizontal_edge<V>(plane + (edge - 5) * stride, stride, width, k);
        if (height - y0 >= kLanes)
            vertical_edges<V>(Strip<true>{plane + y0 * stride, stride, kLanes}, width, k, cols);
        else
            vertical_edges<V>(Strip<false>{plane + y0 * stride, stride, height - y0}, width, k,
                              cols);
    }
}

} // namespace
} // namespace kestrova::mpeg4

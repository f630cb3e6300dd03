// Exact arithmetic of the transform and the inverse quantisation.

#include "codec/mpeg4/dequant.h"
#include "codec/mpeg4/idct.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>

namespace kestrova::mpeg4 {
namespace {

// The transform's defining formulas, transcribed line by line in 64-bit
// arithmetic with no shortcuts, as the model the optimised code must match.
void model_line(const int64_t* x, int64_t* y, bool column) {
    auto R = [column](int64_t z) { return column ? 724 * (z >> 10) + 128 : (724 * z + 512) >> 10; };
    const int64_t t1 = 100 * x[7] + 502 * x[1], t2 = 284 * x[5] + 426 * x[3];
    const int64_t t3 = 426 * x[5] - 284 * x[3], t4 = 100 * x[1] - 502 * x[7];
    const int64_t o[4] = {t1 + t2, R(t1 + t4 - t3 - t2), R(t1 + t3 - t2 - t4), t3 + t4};
    const int64_t t = 473 * x[2] + 196 * x[6], u = 196 * x[2] - 473 * x[6];
    const int64_t w = 362 * (x[0] + x[4]), v = 362 * (x[0] - x[4]);
    const int64_t e[4] = {w + t, v + u, v - u, w - t};
    for (int k = 0; k < 4; ++k) {
        y[k] = e[k] + o[k];
        y[7 - k] = e[k] - o[k];
    }
}

void model_idct(const int32_t* in, int32_t* out) {
    int64_t rows[64];
    for (int r = 0; r < 8; ++r) {
        int64_t x[8];
        for (int i = 0; i < 8; ++i)
            x[i] = in[8 * r + i];
        model_line(x, rows + 8 * r, false);
    }
    for (int c = 0; c < 8; ++c) {
        int64_t x[8], y[8];
        for (int i = 0; i < 8; ++i)
            x[i] = rows[8 * i + c];
        model_line(x, y, true);
        for (int i = 0; i < 8; ++i)
            out[8 * i + c] = static_cast<int32_t>((y[i] + (1 << 19)) >> 20);
    }
}

TEST(Idct, MatchesFormulasOnChosenAndRandomBlocks) {
    std::vector<std::array<int32_t, 64>> blocks;
    std::array<int32_t, 64> b{};
    blocks.push_back(b); // all zero
    b[0] = 2047;
    blocks.push_back(b); // DC only, largest
    b[0] = -2048;
    b[3] = 17;
    blocks.push_back(b); // first row only
    b = {};
    b[8] = 300;
    b[63] = -1;
    blocks.push_back(b); // first column and the last coefficient
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> level(-2048, 2047), pos(0, 63), count(1, 20);
    for (int n = 0; n < 300; ++n) {
        b = {};
        for (int k = count(rng); k > 0; --k)
            b[pos(rng)] = level(rng) / (1 + n % 16);
        blocks.push_back(b);
    }
    for (const auto& in : blocks) {
        int32_t expect[64], got[64];
        model_idct(in.data(), expect);
        std::copy(in.begin(), in.end(), got);
        idct_ref(got);
        for (int i = 0; i < 64; ++i)
            ASSERT_EQ(got[i], expect[i]) << "index " << i;
    }
}

TEST(Idct, DcOnlyBlockIsNearlyFlatAtOneEighth) {
    // F[0] x 362 x 362 / 2^20 is F[0] / 8 (rounded) on every line except the
    // +-128 odd terms of lines 1, 2, 5, 6, which move the value only at a
    // rounding edge.
    for (int f0 : {8, 80, 800, -400, 2040}) {
        int32_t block[64] = {f0};
        idct_ref(block);
        const int64_t e = int64_t{362} * 362 * f0;
        EXPECT_EQ(block[0], static_cast<int32_t>((e + (1 << 19)) >> 20));
        for (int i = 0; i < 64; ++i)
            EXPECT_NEAR(block[i], f0 / 8.0, 1.0) << f0 << " at " << i;
    }
}

TEST(Idct, CloseToTheRealTransform) {
    // A constant typo would show as a large error against the real DCT.
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> level(-300, 300);
    for (int n = 0; n < 50; ++n) {
        int32_t in[64], out[64];
        for (int i = 0; i < 64; ++i)
            in[i] = (i < 20) ? level(rng) : 0;
        std::copy(in, in + 64, out);
        idct_ref(out);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                double s = 0;
                for (int v = 0; v < 8; ++v)
                    for (int u = 0; u < 8; ++u) {
                        const double cu = u ? 1.0 : std::sqrt(0.5), cv = v ? 1.0 : std::sqrt(0.5);
                        s += cu * cv * in[8 * v + u] * std::cos((2 * x + 1) * u * M_PI / 16) *
                             std::cos((2 * y + 1) * v * M_PI / 16);
                    }
                EXPECT_NEAR(out[8 * y + x], s / 4, 2.0);
            }
    }
}

TEST(Idct, PutClampsAndAddSaturates) {
    int32_t block[64] = {2040}; // about 255
    uint8_t put[64];
    idct_put_ref(block, put, 8);
    for (uint8_t v : put)
        EXPECT_EQ(v, 255);
    int32_t neg[64] = {-800}; // about -100
    uint8_t pred[64];
    std::fill(pred, pred + 64, 60);
    idct_add_ref(neg, pred, 8);
    for (uint8_t v : pred)
        EXPECT_EQ(v, 0);
    int32_t pos[64] = {80}; // about +10
    std::fill(pred, pred + 64, 100);
    idct_add_ref(pos, pred, 8);
    for (uint8_t v : pred)
        EXPECT_EQ(v, 110);
}

TEST(Dequant, DcScalerTable) {
    const int luma[32] = {0,  8,  8,  8,  8,  10, 12, 14, 16, 17, 18, 19, 20, 21, 22, 23,
                          24, 25, 26, 27, 28, 29, 30, 31, 32, 34, 36, 38, 40, 42, 44, 46};
    const int chroma[32] = {0,  8,  8,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14,
                            14, 15, 15, 16, 16, 17, 17, 18, 18, 19, 20, 21, 22, 23, 24, 25};
    for (int qp = 1; qp <= 31; ++qp) {
        EXPECT_EQ(dc_scaler(qp, false), luma[qp]) << qp;
        EXPECT_EQ(dc_scaler(qp, true), chroma[qp]) << qp;
    }
}

TEST(Dequant, RoundedDivisionHalvesAwayFromZero) {
    EXPECT_EQ(div_round(1024, 8), 128);
    EXPECT_EQ(div_round(5, 2), 3);
    EXPECT_EQ(div_round(-5, 2), -3);
    EXPECT_EQ(div_round(7, 3), 2);
    EXPECT_EQ(div_round(-7, 3), -2);
    EXPECT_EQ(div_round(4, 8), 1);
    EXPECT_EQ(div_round(3, 8), 0);
    EXPECT_EQ(div_round(-4, 8), -1);
}

TEST(Dequant, H263MethodOddAndEvenQuantiser) {
    int32_t b[64] = {};
    b[1] = 3;
    b[2] = -3;
    dequant_inter(b, 7, 0, nullptr);
    EXPECT_EQ(b[1], 7 * 7);
    EXPECT_EQ(b[2], -49);
    int32_t c[64] = {};
    c[0] = 2;
    c[5] = -1;
    dequant_inter(c, 8, 0, nullptr);
    EXPECT_EQ(c[0], 8 * 5 - 1);
    EXPECT_EQ(c[5], -(8 * 3 - 1));
    // Intra: DC by the scaler, AC by the same rule; saturated to 2047.
    int32_t d[64] = {};
    d[0] = 100;
    d[9] = 40;
    dequant_intra(d, 31, dc_scaler(31, false), 0, nullptr);
    EXPECT_EQ(d[0], 2047);
    EXPECT_EQ(d[9], 2047);
}

TEST(Dequant, SparseIntraFormMatchesFullBlock) {
    // Every quantiser, levels across and beyond the coefficient range, DC
    // and one AC position, listed or not in the mask.
    for (int qp = 1; qp <= 31; ++qp) {
        for (int level = -2300; level <= 2300; level += 7) {
            int32_t full[64] = {}, sparse[64] = {};
            full[0] = sparse[0] = level / 4;
            full[9] = sparse[9] = level;
            full[40] = sparse[40] = -level / 3;
            dequant_intra(full, qp, dc_scaler(qp, false), 0, nullptr);
            dequant_intra_h263(sparse, (uint64_t{1} << 9) | (uint64_t{1} << 40), qp,
                               dc_scaler(qp, false));
            for (int i = 0; i < 64; ++i)
                ASSERT_EQ(full[i], sparse[i]) << "qp " << qp << " level " << level << " at " << i;
            // Only DC, first row and first column.
            int32_t edges[64] = {}, whole[64] = {};
            for (int i : {0, 3, 7, 8, 48, 56}) // zero elsewhere on the edges
                edges[i] = whole[i] = (i % 3 == 0 ? level : -level / 2);
            dequant_intra(whole, qp, dc_scaler(qp, true), 0, nullptr);
            dequant_intra_edges_h263(edges, qp, dc_scaler(qp, true));
            for (int i = 0; i < 64; ++i)
                ASSERT_EQ(whole[i], edges[i])
                    << "edges, qp " << qp << " level " << level << " at " << i;
            // The rule in wide arithmetic: |F| = qp (2 |QF| + 1) - (1 for an even qp).
            const int64_t wide = int64_t{qp} * (2 * int64_t{std::abs(level)} + 1) - (qp % 2 == 0);
            const int64_t expected = std::clamp<int64_t>(level < 0 ? -wide : wide, -2048, 2047);
            ASSERT_EQ(sparse[9], level == 0 ? 0 : expected) << "qp " << qp << " level " << level;
        }
    }
}

TEST(Dequant, MpegMethodWithMismatchControl) {
    uint8_t flat16[64];
    std::fill(flat16, flat16 + 64, 16);
    // Only F[0] = 8 (even sum): F[63] becomes 1.
    int32_t a[64] = {1};
    dequant_intra(a, 4, 8, 1, flat16);
    EXPECT_EQ(a[0], 8);
    EXPECT_EQ(a[63], 1);
    // Odd sum: untouched.
    int32_t b[64] = {1};
    b[1] = 1; // 1 x 16 x 3 / 8 = 6 -> sum 14, even -> flip
    dequant_intra(b, 3, 8, 1, flat16);
    EXPECT_EQ(b[1], 6);
    EXPECT_EQ(b[63], 1);
    int32_t c[64] = {};
    c[2] = 1; // inter: (2 + 1) x 16 x 5 / 16 = 15, odd sum
    dequant_inter(c, 5, 1, flat16);
    EXPECT_EQ(c[2], 15);
    EXPECT_EQ(c[63], 0);
    int32_t d[64] = {};
    d[2] = -1; // (-3) x 16 x 2 / 16 = -6, even -> F[63] = 1
    dequant_inter(d, 2, 1, flat16);
    EXPECT_EQ(d[2], -6);
    EXPECT_EQ(d[63], 1);
    // Saturation before the mismatch sum.
    int32_t e[64] = {};
    e[4] = 2000;
    dequant_inter(e, 31, 1, flat16);
    EXPECT_EQ(e[4], 2047);
    EXPECT_EQ(e[63], 0);
    // All zero: nothing to correct.
    int32_t z[64] = {};
    dequant_inter(z, 9, 1, flat16);
    EXPECT_EQ(z[63], 0);
}

TEST(Dequant, SparseInterMatchesFull) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> lv(-60, 60), pos(0, 63);
    uint8_t m[64];
    for (int i = 0; i < 64; ++i)
        m[i] = static_cast<uint8_t>(16 + i % 17);
    for (int n = 0; n < 200; ++n) {
        int32_t full[64] = {}, sparse[64] = {};
        uint8_t list[64];
        int count = 0;
        for (int k = 0; k < 6; ++k) {
            const int p = pos(rng);
            if (full[p] != 0)
                continue;
            full[p] = sparse[p] = lv(rng);
            list[count++] = static_cast<uint8_t>(p);
        }
        const int qt = n & 1;
        dequant_inter(full, 1 + n % 31, qt, m);
        dequant_inter_sparse(sparse, list, count, 1 + n % 31, qt, m);
        for (int i = 0; i < 64; ++i)
            ASSERT_EQ(sparse[i], full[i]);
    }
}

} // namespace
} // namespace kestrova::mpeg4

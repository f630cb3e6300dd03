// Plane operations after decoding (deblocking, border fill, doubling) and the
// prediction arithmetic (half-sample averages, vectors).

#include "codec/mpeg4/border.h"
#include "codec/mpeg4/deblock.h"
#include "codec/mpeg4/doubling.h"
#include "codec/mpeg4/motion_comp.h"
#include "codec/mpeg4/mv_pred.h"

#include <gtest/gtest.h>
#include <vector>

namespace kestrova::mpeg4 {
namespace {

std::vector<uint8_t> two_areas(int w, int h, int top, int bottom) {
    std::vector<uint8_t> p(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p[size_t(y) * w + x] = static_cast<uint8_t>(y < 8 ? top : bottom);
    return p;
}

TEST(Deblock, FlatPlaneUnchanged) {
    std::vector<uint8_t> p(32 * 32, 77);
    deblock_luma(p.data(), 32, 32, 5);
    for (uint8_t v : p)
        ASSERT_EQ(v, 77);
}

TEST(Deblock, StepOfSixIsSmoothedStepOfTenKept) {
    auto p = two_areas(16, 16, 100, 106);
    deblock_luma(p.data(), 16, 16, 5);
    // DC offset mode on lines 4..11 of every column.
    const int expect[16] = {100, 100, 100, 100, 100, 101, 102, 102,
                            104, 105, 105, 106, 106, 106, 106, 106};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(p[size_t(y) * 16 + x], expect[y]) << "line " << y << " column " << x;

    auto q = two_areas(16, 16, 100, 110);
    const auto before = q;
    deblock_luma(q.data(), 16, 16, 5);
    EXPECT_EQ(q, before);
}

TEST(Deblock, DefaultModeMovesTheTwoEdgeSamples) {
    // A ramp with a small step at the edge: no flat run, so the default mode
    // changes only s4 and s5, by at most half their difference.
    uint8_t s[10] = {10, 20, 30, 40, 50, 64, 70, 80, 90, 100};
    deblock_samples(s, 1, 10);
    const uint8_t expect[10] = {10, 20, 30, 40, 51, 63, 70, 80, 90, 100};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(s[i], expect[i]) << i;
}

TEST(Deblock, EdgesWithoutTenSamplesAreLeftAlone) {
    // Height 12: the edge at line 8 would need line 12; width 12 likewise for
    // column 8. Both steps stay as they are (and nothing is read outside).
    auto p = two_areas(16, 12, 100, 106);
    std::vector<uint8_t> q(12 * 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 12; ++x)
            q[size_t(y) * 12 + x] = static_cast<uint8_t>(x < 8 ? 50 : 53);
    const auto p0 = p, q0 = q;
    deblock_luma(p.data(), 16, 12, 5);
    deblock_luma(q.data(), 12, 16, 5);
    EXPECT_EQ(p, p0);
    EXPECT_EQ(q, q0);
}

TEST(Deblock, FilterStrengthSequence) {
    int32_t memory = 0;
    EXPECT_EQ(next_filter_strength(memory, true, 12), 5);
    EXPECT_EQ(memory, 0);
    EXPECT_EQ(next_filter_strength(memory, false, 10), 2);
    EXPECT_EQ(next_filter_strength(memory, false, 10), 3);
    EXPECT_EQ(next_filter_strength(memory, true, 30), 8);
    EXPECT_EQ(memory, 3);
}

TEST(Border, CornersAndEdgesRepeatTheNearestSample) {
    const int w = 16, h = 16, b = 32, stride = w + 2 * b;
    std::vector<uint8_t> plane(size_t(w) * h);
    for (int i = 0; i < w * h; ++i)
        plane[size_t(i)] = static_cast<uint8_t>(i);
    std::vector<uint8_t> store(size_t(stride) * (h + 2 * b), 0xEE);
    uint8_t* origin = store.data() + b * stride + b;
    copy_with_border(plane.data(), w, h, origin, stride, b);
    auto at = [&](int x, int y) { return origin[y * stride + x]; };
    EXPECT_EQ(at(-32, -32), plane[0]);
    EXPECT_EQ(at(w + 31, -32), plane[w - 1]);
    EXPECT_EQ(at(-32, h + 31), plane[size_t(h - 1) * w]);
    EXPECT_EQ(at(w + 31, h + 31), plane[size_t(h * w - 1)]);
    EXPECT_EQ(at(-1, 5), plane[5 * w]);
    EXPECT_EQ(at(w, 5), plane[5 * w + w - 1]);
    EXPECT_EQ(at(7, -20), plane[7]);
    EXPECT_EQ(at(7, h + 3), plane[size_t(h - 1) * w + 7]);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(at(x, y), plane[size_t(y) * w + x]);
    // Nothing written outside the store's border.
    EXPECT_EQ(store.front(), plane[0]);
    EXPECT_EQ(store.back(), plane[size_t(h * w - 1)]);
}

TEST(Doubling, ConstantPlaneStaysConstant) {
    std::vector<uint8_t> src(16 * 16, 131), dst(32 * 32, 0);
    double_plane_ref(src.data(), 16, 16, dst.data());
    for (uint8_t v : dst)
        ASSERT_EQ(v, 131);
}

TEST(Doubling, RampHalfSamplesAndEdges) {
    const int w = 16, h = 8;
    std::vector<uint8_t> src(size_t(w) * h), dst(size_t(4) * w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            src[size_t(y) * w + x] = static_cast<uint8_t>(4 * x);
    double_plane_ref(src.data(), w, h, dst.data());
    for (int y = 0; y < 2 * h; ++y) {
        const uint8_t* line = dst.data() + size_t(y) * 2 * w;
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(line[2 * x], 4 * x); // source samples on even columns
        for (int x = 2; x <= 12; ++x)
            ASSERT_EQ(line[2 * x + 1], 4 * x + 2); // exact midpoints inside
        EXPECT_EQ(line[1], 1);                     // (9 x (0 + 4) - 0 - 12) >> 4
        EXPECT_EQ(line[2 * 14 + 1], 58);           // (9 x 116 - 48 - 60) >> 4
        EXPECT_EQ(line[2 * 15 + 1], 60);           // (9 x 120 - 52 - 60) >> 4
    }
}

TEST(Doubling, SharpEdgeSaturates) {
    const int w = 16, h = 16;
    std::vector<uint8_t> src(size_t(w) * h), dst(size_t(4) * w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            src[size_t(y) * w + x] = x < 8 ? 0 : 255;
    double_plane_ref(src.data(), w, h, dst.data());
    const uint8_t* line = dst.data();
    EXPECT_EQ(line[2 * 6 + 1], 0);   // -255 >> 4 undershoots, held at 0
    EXPECT_EQ(line[2 * 7 + 1], 127); // between 0 and 255
    EXPECT_EQ(line[2 * 8 + 1], 255); // overshoot held at 255
}

TEST(MotionComp, HalfSampleRounding) {
    const uint8_t src[2 * 17] = {10, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                 12, 14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    uint8_t out[8 * 8];
    mc_block_ref(out, 8, src, 17, 1, 1, 0, 1);
    EXPECT_EQ(out[0], 10); // (10 + 11 + 1 - 1) >> 1
    mc_block_ref(out, 8, src, 17, 1, 1, 0, 0);
    EXPECT_EQ(out[0], 11);
    mc_block_ref(out, 8, src, 17, 1, 0, 1, 0);
    EXPECT_EQ(out[0], 11); // (10 + 12 + 1) >> 1
    mc_block_ref(out, 8, src, 17, 1, 1, 1, 0);
    EXPECT_EQ(out[0], 12); // (10 + 11 + 12 + 14 + 2) >> 2
    mc_block_ref(out, 8, src, 17, 1, 1, 1, 1);
    EXPECT_EQ(out[0], 12); // (47 + 2 - 1) >> 2
    const uint8_t low[2 * 17] = {10, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                 10, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    mc_block_ref(out, 8, low, 17, 1, 1, 1, 1);
    EXPECT_EQ(out[0], 10); // (41 + 1) >> 2
    mc_block_ref(out, 8, low, 17, 1, 1, 1, 0);
    EXPECT_EQ(out[0], 10); // (41 + 2) >> 2
    mc_block_ref(out, 8, src, 17, 1, 0, 0, 1);
    EXPECT_EQ(out[0], 10);
}

TEST(MotionComp, ChromaVectors) {
    EXPECT_EQ(chroma_from_vector(3), 1);
    EXPECT_EQ(chroma_from_vector(-3), -1);
    EXPECT_EQ(chroma_from_vector(4), 2);
    EXPECT_EQ(chroma_from_vector(5), 3);
    EXPECT_EQ(chroma_from_vector(0), 0);
    EXPECT_EQ(chroma_from_sum(14), 2);
    EXPECT_EQ(chroma_from_sum(3), 1);
    EXPECT_EQ(chroma_from_sum(2), 0);
    EXPECT_EQ(chroma_from_sum(-17), -2);
    EXPECT_EQ(chroma_from_sum(30), 4);
}

TEST(Vectors, WrapIntoRange) {
    EXPECT_EQ(wrap_vector(31, 2, 1), -31);
    EXPECT_EQ(wrap_vector(-32, -1, 1), 31);
    EXPECT_EQ(wrap_vector(-32, 0, 1), -32);
    EXPECT_EQ(wrap_vector(31, 0, 1), 31);
    EXPECT_EQ(wrap_vector(60, 10, 2), -58);
}

TEST(Vectors, PredictionAtEdgesAndPackets) {
    const int cols = 3;
    std::vector<MacroblockVectors> mvs(6);
    auto set = [&](int mb, MotionVector v) { mvs[size_t(mb)].fill(v); };
    set(0, {2, 4});
    set(1, {6, -2});
    set(2, {-8, 10});
    set(3, {1, 1});
    // Row 0: the left neighbour only; (0, 0) at the very first macroblock.
    EXPECT_EQ(predict_vector(mvs.data(), 0, 0, cols, 0, 0).x, 0);
    EXPECT_EQ(predict_vector(mvs.data(), 1, 0, cols, 0, 0).x, 2);
    EXPECT_EQ(predict_vector(mvs.data(), 1, 0, cols, 0, 0).y, 4);
    // Column 0 of row 1: left missing (0), above (2, 4), above right (6, -2).
    MotionVector p = predict_vector(mvs.data(), 0, 1, cols, 0, 0);
    EXPECT_EQ(p.x, 2);
    EXPECT_EQ(p.y, 0);
    // Middle: median of left (1, 1), above (6, -2), above right (-8, 10).
    p = predict_vector(mvs.data(), 1, 1, cols, 0, 0);
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(p.y, 1);
    // Last column: above right missing -> median(left, above, 0).
    set(4, {5, 5});
    p = predict_vector(mvs.data(), 2, 1, cols, 0, 0);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 5);
    // A packet starting at macroblock 4: only the left candidate is inside.
    p = predict_vector(mvs.data(), 2, 1, cols, 4, 0);
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 5);
    // Four-vector blocks: Y2 in row 0 takes its own Y1.
    mvs[1][1] = {9, -9};
    p = predict_vector(mvs.data(), 1, 0, cols, 0, 2);
    EXPECT_EQ(p.x, 9);
    EXPECT_EQ(p.y, -9);
}

} // namespace
} // namespace kestrova::mpeg4

#include "codec/motiondetect/motion_detect.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

using Plane = std::vector<unsigned char>;

size_t GridSize(int width, int height) {
    return static_cast<size_t>(width / 16 + 1) * static_cast<size_t>(height / 16 + 1);
}

// Straight from the description: count per sample into its cell, then
// saturate.
std::vector<unsigned char> Reference(const Plane& cur, const Plane& prev, int width, int height,
                                     int threshold) {
    const int columns = width / 16 + 1;
    std::vector<int> counts(GridSize(width, height), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (std::abs(cur[y * width + x] - prev[y * width + x]) > threshold)
                ++counts[(y / 16) * columns + x / 16];
    std::vector<unsigned char> out;
    for (int c : counts)
        out.push_back(static_cast<unsigned char>(c < 256 ? c : 255));
    return out;
}

// Runs the kernel into a buffer with guard bytes after the grid.
std::vector<unsigned char> Detect(Plane cur, Plane prev, int width, int height, int threshold) {
    const size_t cells = GridSize(width, height);
    std::vector<unsigned char> result(cells + 8, 0xEE);
    MotionDetect(cur.data(), prev.data(), result.data(), width, height, threshold);
    for (size_t i = cells; i < result.size(); ++i)
        EXPECT_EQ(result[i], 0xEE) << "wrote past the grid";
    result.resize(cells);
    return result;
}

Plane Filled(int width, int height, unsigned char value) {
    return Plane(static_cast<size_t>(width) * height, value);
}

TEST(MotionDetect, IdenticalPlanesGiveZeros) {
    std::mt19937 rng(3);
    Plane plane(48 * 33);
    for (auto& v : plane)
        v = static_cast<unsigned char>(rng());
    EXPECT_EQ(Detect(plane, plane, 48, 33, 0), std::vector<unsigned char>(4 * 3, 0));
}

TEST(MotionDetect, FullCellsSaturateAndTheExtraColumnAndRowStayZero) {
    const Plane prev = Filled(32, 32, 100), cur = Filled(32, 32, 110);
    const std::vector<unsigned char> expected = {255, 255, 0, 255, 255, 0, 0, 0, 0};
    EXPECT_EQ(Detect(cur, prev, 32, 32, 9), expected);
    EXPECT_EQ(Detect(cur, prev, 32, 32, 10), std::vector<unsigned char>(9, 0)); // strictly greater
    EXPECT_EQ(Detect(prev, cur, 32, 32, 9), expected); // the difference is absolute
}

TEST(MotionDetect, PartialEdgeCellsCountTheirOwnSamples) {
    const Plane prev = Filled(20, 20, 0), cur = Filled(20, 20, 255);
    EXPECT_EQ(Detect(cur, prev, 20, 20, 0), (std::vector<unsigned char>{255, 64, 64, 16}));
    // Non-square: 40 x 18 gives three columns of cells and two rows.
    const Plane p2 = Filled(40, 18, 0), c2 = Filled(40, 18, 1);
    EXPECT_EQ(Detect(c2, p2, 40, 18, 0), (std::vector<unsigned char>{255, 255, 128, 32, 32, 16}));
}

TEST(MotionDetect, ThresholdExtremes) {
    const Plane a = Filled(16, 16, 0), b = Filled(16, 16, 255);
    EXPECT_EQ(Detect(b, a, 16, 16, 255), std::vector<unsigned char>(4, 0));
    EXPECT_EQ(Detect(b, a, 16, 16, 1000), std::vector<unsigned char>(4, 0));
    EXPECT_EQ(Detect(b, a, 16, 16, 254), (std::vector<unsigned char>{255, 0, 0, 0}));
    // A negative threshold counts every sample, changed or not.
    EXPECT_EQ(Detect(a, a, 15, 17, -1), (std::vector<unsigned char>{240, 15}));
}

TEST(MotionDetect, MatchesAPlainLoopOnRandomPlanes) {
    std::mt19937 rng(2024);
    std::uniform_int_distribution<int> size(1, 90);
    for (int round = 0; round < 200; ++round) {
        const int w = size(rng), h = size(rng);
        const int threshold = std::uniform_int_distribution<int>(-3, 260)(rng);
        Plane cur(static_cast<size_t>(w) * h), prev(cur.size());
        // Mostly small differences so that thresholds in the middle matter.
        for (size_t i = 0; i < cur.size(); ++i) {
            prev[i] = static_cast<unsigned char>(rng());
            const int delta = static_cast<int>(rng() % 41) - 20 + (rng() % 8 == 0 ? 120 : 0);
            cur[i] = static_cast<unsigned char>(std::clamp(prev[i] + delta, 0, 255));
        }
        ASSERT_EQ(Detect(cur, prev, w, h, threshold), Reference(cur, prev, w, h, threshold))
            << w << "x" << h << " threshold " << threshold;
    }
}

TEST(MotionDetect, NonPositiveSizesStillWriteTheZeroGrid) {
    for (auto [w, h] : {std::pair{0, 0}, {0, 40}, {35, 0}, {-5, 20}, {-15, -15}}) {
        std::vector<unsigned char> result(16, 0xAA);
        // No samples are read, so no planes are needed.
        MotionDetect(nullptr, nullptr, result.data(), w, h, 0);
        const size_t cells = GridSize(w, h);
        for (size_t i = 0; i < result.size(); ++i)
            EXPECT_EQ(result[i], i < cells ? 0 : 0xAA) << w << "x" << h << " byte " << i;
    }
    // A grid with no cells at all (width -16 gives 0 columns) writes nothing.
    std::vector<unsigned char> result(4, 0xAA);
    MotionDetect(nullptr, nullptr, result.data(), -16, 20, 0);
    EXPECT_EQ(result, std::vector<unsigned char>(4, 0xAA));
}

TEST(MotionDetect, NullPointersAreRefused) {
    Plane plane = Filled(16, 16, 1);
    std::vector<unsigned char> result(4, 0xAA);
    MotionDetect(nullptr, plane.data(), result.data(), 16, 16, 0);
    MotionDetect(plane.data(), nullptr, result.data(), 16, 16, 0);
    EXPECT_EQ(result, std::vector<unsigned char>(4, 0xAA));
    MotionDetect(plane.data(), plane.data(), nullptr, 16, 16, 0); // must simply return
}

} // namespace

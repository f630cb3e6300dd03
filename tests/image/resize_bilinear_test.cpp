#include "codec/image/frame_image.h"
#include "image/image_test_util.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace kestrova {
namespace {

// The snapshot preview formula, written out directly from its description:
// fx = i * w / nw, weights in hundredths, P00/P10 on row y0 and P01/P11 on
// row y1, rows counted from the top of a bottom-up buffer.
std::vector<uint8_t> ReferenceResize(const std::vector<uint8_t>& dib, int nw, int nh) {
    int32_t w, h;
    std::memcpy(&w, &dib[4], 4);
    std::memcpy(&h, &dib[8], 4);
    const int stride = (w * 3 + 3) & ~3;
    const int nstride = (nw * 3 + 3) & ~3;
    std::vector<uint8_t> out(40 + static_cast<size_t>(nstride) * nh);
    std::memcpy(out.data(), dib.data(), 40);
    const uint32_t image = static_cast<uint32_t>(nstride * nh);
    std::memcpy(&out[4], &nw, 4);
    std::memcpy(&out[8], &nh, 4);
    std::memcpy(&out[20], &image, 4);
    const uint8_t* src = dib.data() + 40;
    uint8_t* dst = out.data() + 40;
    auto clampTo = [](int v, int hi) { return v < 0 ? 0 : (v > hi ? hi : v); };
    for (int j = 0; j < nh; ++j) {
        for (int i = 0; i < nw; ++i) {
            const double fx = static_cast<double>(i) * w / nw;
            const double fy = static_cast<double>(j) * h / nh;
            const int x0 = clampTo(static_cast<int>(fx), w - 1), x1 = clampTo(x0 + 1, w - 1);
            const int y0 = clampTo(static_cast<int>(fy), h - 1), y1 = clampTo(y0 + 1, h - 1);
            // The tiny bias keeps exact hundredths (e.g. 0.29) from
            // truncating one short in binary floating point.
            const int F = clampTo(static_cast<int>((fx - x0) * 100 + 1e-9), 100);
            const int G = clampTo(static_cast<int>((fy - y0) * 100 + 1e-9), 100);
            for (int c = 0; c < 3; ++c) {
                const int p00 = src[(h - y0 - 1) * stride + x0 * 3 + c];
                const int p10 = src[(h - y0 - 1) * stride + x1 * 3 + c];
                const int p01 = src[(h - y1 - 1) * stride + x0 * 3 + c];
                const int p11 = src[(h - y1 - 1) * stride + x1 * 3 + c];
                dst[(nh - j - 1) * nstride + i * 3 + c] =
                    static_cast<uint8_t>((p00 * (100 - G) * (100 - F) + p01 * (100 - F) * G +
                                          p10 * (100 - G) * F + p11 * G * F) /
                                         10000);
            }
        }
    }
    return out;
}

TEST(ResizeBilinearPacked, MatchesTheFormulaOnRandomImages) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> size(1, 37);
    for (int round = 0; round < 60; ++round) {
        const int w = size(rng), h = size(rng), nw = size(rng), nh = size(rng);
        const auto dib = test::ToPackedDib(test::RandomImage(w, h, rng()));
        const auto got = ResizeBilinearPacked(dib, nw, nh);
        ASSERT_EQ(got, ReferenceResize(dib, nw, nh)) << w << "x" << h << " -> " << nw << "x" << nh;
    }
    // The preview size from a camera picture.
    const auto dib = test::ToPackedDib(test::RandomImage(640, 480, 99));
    EXPECT_EQ(ResizeBilinearPacked(dib, 320, 240), ReferenceResize(dib, 320, 240));
}

TEST(ResizeBilinearPacked, TwoByTwoToFourByFourBlendsHalfWay) {
    // Top row: A B, bottom row: C D (RGB).
    test::RgbImage src{2, 2, {10, 20, 30, 110, 121, 255, 0, 200, 60, 50, 41, 3}};
    const auto out = ResizeBilinearPacked(test::ToPackedDib(src), 4, 4);
    ASSERT_EQ(out.size(), 40u + 12u * 4u);
    const test::RgbImage got = test::FromDibBits(out.data() + 40, 4, 4);
    using P = std::array<uint8_t, 3>;
    EXPECT_EQ(got.At(0, 0), (P{10, 20, 30}));    // A itself
    EXPECT_EQ(got.At(1, 0), (P{60, 70, 142}));   // F = 50 between A and B
    EXPECT_EQ(got.At(2, 0), (P{110, 121, 255})); // B
    EXPECT_EQ(got.At(3, 0), (P{110, 121, 255})); // last column repeats B
    EXPECT_EQ(got.At(0, 1), (P{5, 110, 45}));    // G = 50 between A and C
    EXPECT_EQ(got.At(1, 1), (P{42, 95, 87}));    // all four, truncated
    EXPECT_EQ(got.At(3, 3), (P{50, 41, 3}));     // D repeated at the corner
}

TEST(ResizeBilinearPacked, SameSizeCopiesAndHeaderIsRewritten) {
    auto dib = test::ToPackedDib(test::RandomImage(7, 3, 8));
    dib[20] = 0; // image size 0 is allowed in a source
    dib[21] = 0;
    const auto same = ResizeBilinearPacked(dib, 7, 3);
    ASSERT_EQ(same.size(), dib.size());
    EXPECT_TRUE(std::equal(dib.begin() + 40, dib.end(), same.begin() + 40));

    const auto out = ResizeBilinearPacked(dib, 10, 6);
    BitmapInfoHeader h;
    std::memcpy(&h, out.data(), 40);
    EXPECT_EQ(+h.size, 40u);
    EXPECT_EQ(+h.width, 10);
    EXPECT_EQ(+h.height, 6);
    EXPECT_EQ(+h.sizeImage, 32u * 6u);
    EXPECT_EQ(+h.bitCount, 24);
    EXPECT_EQ(+h.xPelsPerMeter, 2835); // the rest of the source header is kept
}

TEST(ResizeBilinearPacked, RefusesBadSourcesAndSizes) {
    const auto dib = test::ToPackedDib(test::RandomImage(8, 8, 6));
    EXPECT_TRUE(ResizeBilinearPacked({}, 4, 4).empty());
    EXPECT_TRUE(ResizeBilinearPacked(dib, 0, 4).empty());
    EXPECT_TRUE(ResizeBilinearPacked(dib, 4, -1).empty());
    EXPECT_TRUE(ResizeBilinearPacked(std::span(dib).first(dib.size() - 1), 4, 4).empty());
    auto grey = dib;
    grey[14] = 8;
    EXPECT_TRUE(ResizeBilinearPacked(grey, 4, 4).empty());
    auto topDown = dib;
    const int32_t negative = -8;
    std::memcpy(&topDown[8], &negative, 4);
    EXPECT_TRUE(ResizeBilinearPacked(topDown, 4, 4).empty());
}

} // namespace
} // namespace kestrova

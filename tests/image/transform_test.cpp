#include "codec/image/frame_image.h"
#include "image/image_test_util.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using test::RgbImage;

FrameImage Load(const RgbImage& picture) {
    FrameImage image;
    EXPECT_TRUE(image.Decode(test::ToPackedDib(picture), ImageFormat::Bmp));
    return image;
}

RgbImage Picture(const FrameImage& image) {
    return test::FromDibBits(image.Bits(), image.Width(), image.Height());
}

// The pixels of [left, right) x [top, bottom), rows counted from the top.
RgbImage Cut(const RgbImage& src, int left, int top, int right, int bottom) {
    RgbImage out{right - left, bottom - top, {}};
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            for (uint8_t v : src.At(x, y))
                out.rgb.push_back(v);
    return out;
}

TEST(FrameImageCrop, CutsTheRectangleCountedFromTheTop) {
    const RgbImage src = test::RandomImage(23, 17, 1);
    FrameImage image = Load(src);
    ASSERT_TRUE(image.Crop(3, 2, 14, 9));
    EXPECT_EQ(image.Width(), 11);
    EXPECT_EQ(image.Height(), 7);
    EXPECT_EQ(+image.Header()->sizeImage, static_cast<uint32_t>(DibStride(11) * 7));
    EXPECT_EQ(image.Dib().size(), 40u + DibStride(11) * 7u);
    EXPECT_EQ(Picture(image).rgb, Cut(src, 3, 2, 14, 9).rgb);
}

TEST(FrameImageCrop, ClampsCoordinatesToThePicture) {
    const RgbImage src = test::RandomImage(10, 8, 2);
    FrameImage image = Load(src);
    ASSERT_TRUE(image.Crop(-5, 3, 40, 100));
    EXPECT_EQ(Picture(image).rgb, Cut(src, 0, 3, 10, 8).rgb);

    FrameImage whole = Load(src);
    ASSERT_TRUE(whole.Crop(-1, -1, 10, 8));
    EXPECT_EQ(Picture(whole).rgb, src.rgb);
}

TEST(FrameImageCrop, EmptyRectanglesFailAndLeaveTheImageAsItWas) {
    FrameImage image = Load(test::RandomImage(10, 8, 3));
    const std::vector<uint8_t> before(image.Dib().begin(), image.Dib().end());
    const int rects[][4] = {{4, 2, 4, 6},   {1, 5, 9, 5},    {6, 2, 3, 6},   {1, 6, 9, 2},
                            {20, 0, 30, 8}, {0, -9, 10, -1}, {10, 0, 12, 8}, {-3, 0, 0, 8}};
    for (const auto& r : rects) {
        EXPECT_FALSE(image.Crop(r[0], r[1], r[2], r[3])) << r[0] << "," << r[1];
        EXPECT_TRUE(std::ranges::equal(image.Dib(), before));
    }
    FrameImage empty;
    EXPECT_FALSE(empty.Crop(0, 0, 1, 1));
}

TEST(FrameImageResample, SameSizeKeepsThePixelsExactly) {
    const RgbImage src = test::RandomImage(9, 5, 4);
    FrameImage image = Load(src);
    ASSERT_TRUE(image.Resample(9, 5));
    EXPECT_EQ(Picture(image).rgb, src.rgb);
}

TEST(FrameImageResample, InvalidTargetsFailAndLeaveTheImageUnchanged) {
    FrameImage image = Load(test::RandomImage(9, 5, 5));
    const std::vector<uint8_t> before(image.Dib().begin(), image.Dib().end());
    for (auto [w, h] : {std::pair{0, 5}, {9, 0}, {-3, 4}, {4, -1}, {kMaxImageDimension + 1, 2}})
        EXPECT_FALSE(image.Resample(w, h));
    EXPECT_TRUE(std::ranges::equal(image.Dib(), before));
    FrameImage empty;
    EXPECT_FALSE(empty.Resample(4, 4));
}

TEST(FrameImageResample, FlatColourStaysFlatAtAnySize) {
    RgbImage flat{7, 6, {}};
    for (int i = 0; i < 7 * 6; ++i)
        flat.rgb.insert(flat.rgb.end(), {200, 17, 93});
    for (auto [w, h] : {std::pair{15, 11}, {3, 2}, {1, 1}, {40, 3}}) {
        FrameImage image = Load(flat);
        ASSERT_TRUE(image.Resample(w, h));
        ASSERT_EQ(image.Width(), w);
        ASSERT_EQ(image.Height(), h);
        EXPECT_EQ(+image.Header()->sizeImage, static_cast<uint32_t>(DibStride(w) * h));
        RgbImage expected{w, h, {}};
        for (int i = 0; i < w * h; ++i)
            expected.rgb.insert(expected.rgb.end(), {200, 17, 93});
        EXPECT_EQ(Picture(image).rgb, expected.rgb) << w << "x" << h;
    }
}

TEST(FrameImageResample, FollowsALinearRampWithCentredPixels) {
    // Left-to-right ramp in red, top-to-bottom ramp in blue. A cubic filter
    // reproduces linear ramps away from the edges, so every interior pixel
    // must sit on the line through the centres of the source pixels.
    RgbImage ramp{16, 12, {}};
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            ramp.rgb.insert(ramp.rgb.end(), {static_cast<uint8_t>(10 + 14 * x), 128,
                                             static_cast<uint8_t>(5 + 20 * y)});
    for (auto [w, h] : {std::pair{40, 30}, {8, 6}}) {
        FrameImage image = Load(ramp);
        ASSERT_TRUE(image.Resample(w, h));
        const RgbImage out = Picture(image);
        const double sx = 16.0 / w, sy = 12.0 / h;
        // Pixels whose filter reaches past the edge repeat the edge instead.
        const double mx = 2 * std::max(1.0, sx), my = 2 * std::max(1.0, sy);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const double cx = (x + 0.5) * sx - 0.5, cy = (y + 0.5) * sy - 0.5;
                const auto p = out.At(x, y);
                EXPECT_EQ(p[1], 128);
                if (cx >= mx && cx <= 15 - mx) {
                    EXPECT_NEAR(p[0], 10 + 14 * cx, 1.0) << x << "," << y;
                }
                if (cy >= my && cy <= 11 - my) {
                    EXPECT_NEAR(p[2], 5 + 20 * cy, 1.0) << x << "," << y;
                }
            }
        }
    }
}

} // namespace
} // namespace kestrova

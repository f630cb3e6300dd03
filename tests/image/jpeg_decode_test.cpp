#include "codec/image/frame_image.h"
#include "image/image_test_util.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using test::CjpegEncode;
using test::DjpegDecode;
using test::FromDibBits;
using test::RgbImage;
using test::TempDir;

// A picture with smooth areas and some noise, so that every coding path of
// the decoder gets work.
RgbImage MixedImage(int width, int height) {
    RgbImage img = test::SmoothImage(width, height);
    const RgbImage noise = test::RandomImage(width, height, 7);
    for (size_t i = 0; i < img.rgb.size(); ++i)
        img.rgb[i] = static_cast<uint8_t>((img.rgb[i] * 3 + noise.rgb[i]) / 4);
    return img;
}

size_t FindMarker(const std::vector<uint8_t>& jpeg, uint8_t marker) {
    for (size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == marker)
            return i;
    return std::string::npos;
}

void ExpectEmpty(const FrameImage& image) {
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.Header(), nullptr);
    EXPECT_EQ(image.Bits(), nullptr);
    EXPECT_EQ(image.Width(), 0);
    EXPECT_TRUE(image.Dib().empty());
}

TEST(JpegDecode, MatchesReferenceDecoderWithinOneLevel) {
    TempDir dir;
    struct Case {
        int width, height;
        const char* options;
    };
    // Odd widths exercise row padding; the options cover 4:2:0, 4:4:4,
    // progressive and greyscale streams.
    const Case cases[] = {{64, 48, "-quality 75"},
                          {37, 23, "-quality 90"},
                          {33, 17, "-sample 1x1"},
                          {40, 30, "-progressive"},
                          {29, 31, "-grayscale"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const auto jpeg = CjpegEncode(dir, MixedImage(c.width, c.height), c.options);
        const RgbImage expected = DjpegDecode(dir, jpeg);

        FrameImage image;
        ASSERT_TRUE(image.Decode(jpeg, ImageFormat::Jpeg));
        ASSERT_EQ(image.Width(), c.width);
        ASSERT_EQ(image.Height(), c.height);
        const RgbImage got = FromDibBits(image.Bits(), c.width, c.height);
        int worst = 0;
        for (size_t i = 0; i < got.rgb.size(); ++i)
            worst = std::max(worst, std::abs(got.rgb[i] - expected.rgb[i]));
        EXPECT_LE(worst, 1);
        EXPECT_EQ(image.Dib().size(), 40u + static_cast<size_t>(DibStride(c.width)) * c.height);
    }
}

TEST(JpegDecode, WritesA24BitHeaderAt96Dpi) {
    TempDir dir;
    const auto jpeg = CjpegEncode(dir, MixedImage(50, 20), "");
    FrameImage image;
    ASSERT_TRUE(image.Decode(jpeg, ImageFormat::Jpeg));
    const BitmapInfoHeader* h = image.Header();
    ASSERT_NE(h, nullptr);
    // Packed fields are compared by value (unary +): gtest would otherwise
    // bind references to misaligned members.
    EXPECT_EQ(+h->size, 40u);
    EXPECT_EQ(+h->width, 50);
    EXPECT_EQ(+h->height, 20); // positive: bottom-up
    EXPECT_EQ(+h->planes, 1);
    EXPECT_EQ(+h->bitCount, 24);
    EXPECT_EQ(+h->compression, 0u);
    EXPECT_EQ(+h->sizeImage, 152u * 20u);
    EXPECT_EQ(+h->xPelsPerMeter, 3780);
    EXPECT_EQ(+h->yPelsPerMeter, 3780);
    EXPECT_EQ(+h->clrUsed, 0u);
    EXPECT_EQ(image.Dib().data(), reinterpret_cast<const uint8_t*>(h));
    EXPECT_EQ(image.Bits(), image.Dib().data() + 40);
}

TEST(JpegDecode, GreyscaleGivesGreyInAllThreeChannels) {
    TempDir dir;
    const auto jpeg = CjpegEncode(dir, MixedImage(24, 16), "-grayscale");
    FrameImage image;
    ASSERT_TRUE(image.Decode(jpeg, ImageFormat::Jpeg));
    ASSERT_EQ(image.Header()->bitCount, 24);
    int distinctLevels = 0;
    std::vector<bool> seen(256);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 24; ++x) {
            const auto p = test::DibPixel(image.Bits(), 24, 16, x, y);
            ASSERT_EQ(p[0], p[1]);
            ASSERT_EQ(p[1], p[2]);
            distinctLevels += !seen[p[0]];
            seen[p[0]] = true;
        }
    }
    EXPECT_GT(distinctLevels, 10); // a real picture, not a flat fill
}

TEST(JpegDecode, BrokenDataFailsAndLeavesTheImageEmpty) {
    TempDir dir;
    const auto good = CjpegEncode(dir, MixedImage(64, 64), "");
    const size_t sof = FindMarker(good, 0xC0);
    const size_t sos = FindMarker(good, 0xDA);
    ASSERT_NE(sof, std::string::npos);
    ASSERT_NE(sos, std::string::npos);

    std::vector<std::pair<const char*, std::vector<uint8_t>>> inputs;
    inputs.emplace_back("empty", std::vector<uint8_t>{});
    inputs.emplace_back("start marker only", std::vector<uint8_t>{0xFF, 0xD8});
    inputs.emplace_back("noise", test::RandomImage(40, 40, 3).rgb);
    inputs.emplace_back("cut inside the headers",
                        std::vector<uint8_t>(good.begin(), good.begin() + sof + 6));
    auto huge = good;
    huge[sof + 7] = 0x23; // width 9000
    huge[sof + 8] = 0x28;
    inputs.emplace_back("absurd width", huge);
    auto zeroHeight = good;
    zeroHeight[sof + 5] = 0;
    zeroHeight[sof + 6] = 0;
    inputs.emplace_back("zero height", zeroHeight);
    auto badTable = good;
    badTable[sof + 9] = 7; // seven components
    inputs.emplace_back("bad component count", badTable);

    for (const auto& [name, data] : inputs) {
        SCOPED_TRACE(name);
        FrameImage image;
        ASSERT_TRUE(image.Decode(good, ImageFormat::Jpeg));
        EXPECT_FALSE(image.Decode(data, ImageFormat::Jpeg));
        ExpectEmpty(image);
    }
}

// The picture with its last scan repeated until it has `scans` scans; libjpeg decodes each
// repeat (warning about the progression) at the cost of a pass over the whole picture.
std::vector<uint8_t> WithScans(const std::vector<uint8_t>& progressive, int scans) {
    size_t last = 0, count = 0;
    for (size_t i = 0; i + 1 < progressive.size(); ++i)
        if (progressive[i] == 0xFF && progressive[i + 1] == 0xDA) {
            last = i;
            ++count;
        }
    const size_t end = progressive.size() - 2; // the end marker
    std::vector<uint8_t> out(progressive.begin(), progressive.begin() + end);
    for (; count < static_cast<size_t>(scans); ++count)
        out.insert(out.end(), progressive.begin() + last, progressive.begin() + end);
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

TEST(JpegDecode, RepairableDamageIsShownAndCostlyPicturesAreRefused) {
    TempDir dir;
    const auto good = CjpegEncode(dir, MixedImage(64, 64), "");
    const auto progressive = CjpegEncode(dir, MixedImage(64, 64), "-progressive");
    const size_t sos = FindMarker(good, 0xDA);
    ASSERT_NE(sos, std::string::npos);
    FrameImage full;
    ASSERT_TRUE(full.Decode(good, ImageFormat::Jpeg));

    using image::JpegStatus;
    const image::JpegLimits camera{64, 64, 64};
    const struct {
        const char* name;
        std::vector<uint8_t> data;
        image::JpegLimits limits;
        JpegStatus status;
        bool warnings;
    } cases[] = {
        {"whole", good, camera, JpegStatus::Ok, false},
        {"cut inside the scan",
         std::vector<uint8_t>(good.begin(), good.begin() + (sos + good.size()) / 2), camera,
         JpegStatus::Ok, true},
        {"64 scans", WithScans(progressive, 64), camera, JpegStatus::Ok, true},
        {"65 scans", WithScans(progressive, 65), camera, JpegStatus::TooManyScans, false},
        {"wider than allowed", good, {63, 64, 64}, JpegStatus::TooLarge, false},
        {"taller than allowed", good, {64, 63, 64}, JpegStatus::TooLarge, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FrameImage image;
        const image::JpegResult r = image.DecodeJpeg(c.data, c.limits);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.warnings, c.warnings);
        EXPECT_EQ(r.width, 64);
        EXPECT_EQ(image.IsValid(), c.status == JpegStatus::Ok);
        if (!r.Ok()) {
            EXPECT_FALSE(image::DescribeJpegFailure(r, c.limits).empty());
        } else if (c.data.size() <= good.size()) {
            // The top rows of the whole or cut picture came before any damage: they are the
            // picture's own (the top row is the last of the bottom-up rows).
            const size_t row = static_cast<size_t>(image.Stride());
            EXPECT_TRUE(
                std::equal(full.Dib().end() - row, full.Dib().end(), image.Dib().end() - row));
        }
    }
}

TEST(JpegDecode, MissingEndMarkerStillDecodes) {
    // Frames cut from a stream sometimes lack the final marker while every
    // scan is complete; they are whole pictures.
    TempDir dir;
    const auto good = CjpegEncode(dir, MixedImage(48, 32), "");
    ASSERT_EQ(good[good.size() - 2], 0xFF);
    ASSERT_EQ(good[good.size() - 1], 0xD9);
    const std::vector<uint8_t> cut(good.begin(), good.end() - 2);
    FrameImage full, partial;
    ASSERT_TRUE(full.Decode(good, ImageFormat::Jpeg));
    ASSERT_TRUE(partial.Decode(cut, ImageFormat::Jpeg));
    EXPECT_TRUE(std::equal(full.Dib().begin(), full.Dib().end(), partial.Dib().begin(),
                           partial.Dib().end()));
}

} // namespace
} // namespace kestrova

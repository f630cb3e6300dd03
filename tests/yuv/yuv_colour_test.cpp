#include "codec/yuv/yuv2rgb.h"
#include "codec/yuv/yuv_tables.h"
#include "yuv/yuv_test_util.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace kestrova::yuv {
namespace {

using testing::expectedBgr;
using testing::Picture;
using testing::randomPicture;

// Builds the exported tables for one test and frees them afterwards.
class YuvExportedTables : public ::testing::Test {
protected:
    void SetUp() override { init_YUV2RGB_tab(); }
    void TearDown() override { delete_YUV2RGB_tab(); }
};

std::array<uint8_t, 3> convertFlat(uint8_t y, uint8_t cb, uint8_t cr) {
    Picture p(4, 2);
    std::fill(p.y(), p.cb(), y);
    std::fill(p.cb(), p.cr(), cb);
    std::fill(p.cr(), p.data.data() + p.data.size(), cr);
    std::vector<uint8_t> out(4 * 2 * 3, 0xAA);
    ConvertYUVtoRGB(p.data.data(), out.data(), 4, 2);
    for (size_t i = 3; i < out.size(); ++i) {
        EXPECT_EQ(out[i], out[i % 3]) << "flat picture not uniform at byte " << i;
    }
    return {out[0], out[1], out[2]};
}

TEST_F(YuvExportedTables, KnownColoursTruncateAndClamp) {
    EXPECT_EQ(convertFlat(16, 128, 128), (std::array<uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(convertFlat(235, 128, 128), (std::array<uint8_t, 3>{254, 254, 254}));
    EXPECT_EQ(convertFlat(128, 128, 128), (std::array<uint8_t, 3>{130, 130, 130}));
    // Blue 97; green sum -6 clamps to 0; red sum 300 clamps to 255.
    EXPECT_EQ(convertFlat(100, 128, 255), (std::array<uint8_t, 3>{97, 0, 255}));
}

TEST(YuvTables, EntryZeroAndClampRange) {
    ColourTables t{};
    fillColourTables(t);
    EXPECT_EQ(t.y[0], -1220944);
    EXPECT_EQ(t.crToRed[0], -13388416);
    EXPECT_EQ(t.cbToGreen[0], -3286400);
    EXPECT_EQ(t.crToGreen[0], -6819712);
    EXPECT_EQ(t.cbToBlue[0], -16921728);
    EXPECT_EQ(t.y[255], 76309 * 239);

    std::array<uint8_t, kClampSize> raw{};
    const uint8_t* clamp = fillClampTable(raw.data());
    EXPECT_EQ(clamp[-384], 0);
    EXPECT_EQ(clamp[-1], 0);
    EXPECT_EQ(clamp[0], 0);
    EXPECT_EQ(clamp[137], 137);
    EXPECT_EQ(clamp[255], 255);
    EXPECT_EQ(clamp[256], 255);
    EXPECT_EQ(clamp[639], 255);
}

TEST_F(YuvExportedTables, FourByTwoIsWrittenBottomUp) {
    Picture p(4, 2);
    const uint8_t luma[8] = {16, 235, 128, 100, 60, 70, 80, 90};
    std::copy(luma, luma + 8, p.y());
    p.cb()[0] = 128;
    p.cb()[1] = 128;
    p.cr()[0] = 128;
    p.cr()[1] = 255;
    std::vector<uint8_t> out(24 + 8, 0xEE);
    ConvertYUVtoRGB(p.data.data(), out.data(), 4, 2);

    // The last 12 bytes hold luma line 0.
    const std::vector<uint8_t> line0(out.begin() + 12, out.begin() + 24);
    EXPECT_EQ(std::vector<uint8_t>(line0.begin(), line0.begin() + 6),
              (std::vector<uint8_t>{0, 0, 0, 254, 254, 254}));
    EXPECT_EQ(std::vector<uint8_t>(line0.begin() + 9, line0.end()),
              (std::vector<uint8_t>{97, 0, 255}));

    const std::vector<uint8_t> expected = expectedBgr(p);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin()));
    EXPECT_EQ(std::count(out.begin() + 24, out.end(), 0xEE), 8) << "wrote past 24 bytes";
}

TEST_F(YuvExportedTables, RandomPicturesMatchPerPixelFormula) {
    for (auto [w, h] : {std::pair{8, 2}, {36, 6}, {100, 10}, {704, 480}}) {
        Picture p = randomPicture(w, h, static_cast<uint32_t>(w * 7 + h));
        std::vector<uint8_t> out(w * h * 3);
        ConvertYUVtoRGB(p.data.data(), out.data(), w, h);
        EXPECT_EQ(out, expectedBgr(p)) << w << "x" << h;
    }
}

TEST_F(YuvExportedTables, SecondInitChangesNothing) {
    Picture p = randomPicture(64, 8, 5);
    std::vector<uint8_t> first(64 * 8 * 3), second(64 * 8 * 3, 1);
    ConvertYUVtoRGB(p.data.data(), first.data(), 64, 8);
    init_YUV2RGB_tab();
    ConvertYUVtoRGB(p.data.data(), second.data(), 64, 8);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, expectedBgr(p));
}

// Sizes the kernels cannot take, and calls without tables, leave every
// output byte as it was.
TEST_F(YuvExportedTables, RefusalsWriteNothing) {
    Picture p = randomPicture(16, 16, 9);
    std::vector<uint8_t> out(16 * 16 * 3 + 64, 0x5A);
    const auto untouched = [&] { return std::count(out.begin(), out.end(), 0x5A); };
    const long all = static_cast<long>(out.size());
    for (auto [w, h] :
         {std::pair{6, 4}, {10, 2}, {4, 3}, {8, 1}, {0, 4}, {4, 0}, {-4, 2}, {4, -2}, {2, 2}}) {
        ConvertYUVtoRGB(p.data.data(), out.data(), w, h);
        EXPECT_EQ(untouched(), all) << w << "x" << h;
    }
    ConvertYUVtoRGB(nullptr, out.data(), 4, 2);
    ConvertYUVtoRGB(p.data.data(), nullptr, 4, 2);
    EXPECT_EQ(untouched(), all);

    delete_YUV2RGB_tab();
    ConvertYUVtoRGB(p.data.data(), out.data(), 4, 2);
    EXPECT_EQ(untouched(), all) << "converted without tables";
    init_YUV2RGB_tab();
    ConvertYUVtoRGB(p.data.data(), out.data(), 16, 16);
    EXPECT_LT(untouched(), all) << "init after delete did not restore conversion";
}

TEST(YuvConverterObject, LifecycleAndSameResultAsExported) {
    CYuvToRgb converter;
    Picture p = randomPicture(48, 6, 11);
    std::vector<uint8_t> out(48 * 6 * 3, 0x33);

    EXPECT_EQ(converter.Convert(p.y(), p.cb(), p.cr(), out.data(), 48, 6), 0)
        << "converted before Initialise";
    EXPECT_EQ(std::count(out.begin(), out.end(), 0x33), static_cast<long>(out.size()));

    ASSERT_EQ(converter.Initialise(), 1);
    EXPECT_EQ(converter.Convert(p.y(), p.cb(), p.cr(), out.data(), 48, 6), 1);
    EXPECT_EQ(out, expectedBgr(p));

    std::vector<uint8_t> guarded(48 * 6 * 3, 0x33);
    EXPECT_EQ(converter.Convert(p.y(), p.cb(), p.cr(), guarded.data(), 46, 6), 0);
    EXPECT_EQ(converter.Convert(p.y(), p.cb(), p.cr(), guarded.data(), 48, 5), 0);
    EXPECT_EQ(converter.Convert(p.y(), nullptr, p.cr(), guarded.data(), 48, 6), 0);
    EXPECT_EQ(std::count(guarded.begin(), guarded.end(), 0x33), static_cast<long>(guarded.size()));

    converter.ReleaseClampTable();
    EXPECT_EQ(converter.Convert(p.y(), p.cb(), p.cr(), guarded.data(), 48, 6), 0);
    ASSERT_EQ(converter.Initialise(), 1);
    EXPECT_EQ(converter.Convert(p.y(), p.cb(), p.cr(), guarded.data(), 48, 6), 1);
    EXPECT_EQ(guarded, out);
}

} // namespace
} // namespace kestrova::yuv

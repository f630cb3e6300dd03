#include "codec/image/frame_image.h"
#include "image/image_test_util.h"

#include <cstring>
#include <gtest/gtest.h>

namespace kestrova {
namespace {

using test::RgbImage;
using test::TempDir;

// The file image of a packed DIB, with the 14-byte file header in front.
std::vector<uint8_t> WithFileHeader(const std::vector<uint8_t>& dib, uint32_t offBits = 54) {
    std::vector<uint8_t> file(14 + (offBits - 54) + (dib.size() - 40) + 40);
    const uint32_t size = static_cast<uint32_t>(file.size());
    file[0] = 'B';
    file[1] = 'M';
    std::memcpy(&file[2], &size, 4);
    std::memcpy(&file[10], &offBits, 4);
    std::memcpy(&file[14], dib.data(), 40);
    std::memcpy(&file[offBits], dib.data() + 40, dib.size() - 40);
    return file;
}

template <typename T> void Patch(std::vector<uint8_t>& bytes, size_t at, T value) {
    std::memcpy(&bytes[at], &value, sizeof value);
}

TEST(BmpDecode, HeaderlessAndFileFormsGiveTheSamePixels) {
    const RgbImage picture = test::RandomImage(13, 7, 11); // stride 40: one padding byte
    const auto dib = test::ToPackedDib(picture);
    for (const auto& data : {dib, WithFileHeader(dib), WithFileHeader(dib, 70)}) {
        FrameImage image;
        ASSERT_TRUE(image.Decode(data, ImageFormat::Bmp));
        ASSERT_EQ(image.Width(), 13);
        ASSERT_EQ(image.Height(), 7);
        EXPECT_EQ(test::FromDibBits(image.Bits(), 13, 7).rgb, picture.rgb);
        EXPECT_EQ(+image.Header()->xPelsPerMeter, 2835); // resolution kept
    }
}

TEST(BmpDecode, SaveRoundTripIsByteExact) {
    // The expected file is assembled by the test, so this also pins every
    // field of the file and information headers that Save writes.
    TempDir dir;
    const auto file = WithFileHeader(test::ToPackedDib(test::RandomImage(21, 9, 5)));
    FrameImage image;
    ASSERT_TRUE(image.Decode(file, ImageFormat::Bmp));
    ASSERT_TRUE(image.Save(dir.File("a.bmp"), ImageFormat::Bmp));
    EXPECT_EQ(test::ReadFile(dir.File("a.bmp")), file);

    FrameImage again;
    ASSERT_TRUE(again.Decode(test::ReadFile(dir.File("a.bmp")), ImageFormat::Bmp));
    EXPECT_TRUE(std::ranges::equal(again.Dib(), image.Dib()));
}

TEST(BmpDecode, RefusesWhatItCannotReadSafely) {
    const auto dib = test::ToPackedDib(test::RandomImage(8, 8, 2));
    std::vector<std::pair<const char*, std::vector<uint8_t>>> inputs;
    inputs.emplace_back("empty", std::vector<uint8_t>{});
    inputs.emplace_back("short header", std::vector<uint8_t>(dib.begin(), dib.begin() + 39));
    inputs.emplace_back("one row byte missing", std::vector<uint8_t>(dib.begin(), dib.end() - 1));
    auto tall = dib;
    Patch<int32_t>(tall, 8, 9); // claims a ninth row
    inputs.emplace_back("more rows than data", tall);
    auto huge = dib;
    Patch<int32_t>(huge, 4, 0x7FFFFFFF);
    Patch<int32_t>(huge, 8, 0x7FFFFFFF);
    inputs.emplace_back("overflowing size", huge);
    for (int field : {4, 8}) {
        auto zero = dib;
        Patch<int32_t>(zero, static_cast<size_t>(field), 0);
        inputs.emplace_back("zero size", zero);
        auto negative = dib;
        Patch<int32_t>(negative, static_cast<size_t>(field), -8);
        inputs.emplace_back("negative size", negative);
    }
    auto eightBit = dib;
    Patch<uint16_t>(eightBit, 14, 8);
    inputs.emplace_back("8-bit", eightBit);
    auto thirtyTwo = dib;
    Patch<uint16_t>(thirtyTwo, 14, 32);
    inputs.emplace_back("32-bit", thirtyTwo);
    auto rle = dib;
    Patch<uint32_t>(rle, 16, 1);
    inputs.emplace_back("compressed", rle);
    auto smallHeader = dib;
    Patch<uint32_t>(smallHeader, 0, 12);
    inputs.emplace_back("core header", smallHeader);
    auto bigHeader = dib;
    Patch<uint32_t>(bigHeader, 0, 0xFFFFFFF0u);
    inputs.emplace_back("header past the data", bigHeader);
    auto table = dib;
    Patch<uint32_t>(table, 32, 0x40000000u);
    inputs.emplace_back("colour table past the data", table);
    auto offset = WithFileHeader(dib);
    Patch<uint32_t>(offset, 10, static_cast<uint32_t>(offset.size()));
    inputs.emplace_back("pixel offset at the end", offset);
    auto inside = WithFileHeader(dib);
    Patch<uint32_t>(inside, 10, 20);
    inputs.emplace_back("pixel offset inside the header", inside);
    inputs.emplace_back("file header only", std::vector<uint8_t>{'B', 'M', 0, 0, 0, 0});

    for (const auto& [name, data] : inputs) {
        SCOPED_TRACE(name);
        FrameImage image;
        ASSERT_TRUE(image.Decode(dib, ImageFormat::Bmp));
        EXPECT_FALSE(image.Decode(data, ImageFormat::Bmp));
        EXPECT_FALSE(image.IsValid());
        EXPECT_EQ(image.Header(), nullptr);
    }
}

TEST(BmpDecode, AcceptsLongerHeadersAndColourTables) {
    // A 24-bit DIB may carry a larger header version and an optional colour
    // table in front of the rows.
    const RgbImage picture = test::RandomImage(4, 4, 9);
    const auto dib = test::ToPackedDib(picture);
    std::vector<uint8_t> longer(dib.begin(), dib.begin() + 40);
    longer.resize(108 + 2 * 4); // version 4 header, two table entries
    Patch<uint32_t>(longer, 0, 108);
    Patch<uint32_t>(longer, 32, 2);
    longer.insert(longer.end(), dib.begin() + 40, dib.end());
    FrameImage image;
    ASSERT_TRUE(image.Decode(longer, ImageFormat::Bmp));
    EXPECT_EQ(test::FromDibBits(image.Bits(), 4, 4).rgb, picture.rgb);
    EXPECT_EQ(+image.Header()->size, 40u);
    EXPECT_EQ(+image.Header()->clrUsed, 0u);
}

TEST(FrameImageAssign, TakesOverWellFormedDibsOnly) {
    const auto dib = test::ToPackedDib(test::RandomImage(6, 5, 4));
    FrameImage image;
    EXPECT_FALSE(image.Assign(std::vector<uint8_t>(dib.begin(), dib.end() - 2)));
    EXPECT_FALSE(image.IsValid());
    EXPECT_TRUE(image.Assign(dib));
    EXPECT_TRUE(std::ranges::equal(image.Dib(), dib));
    image.Destroy();
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.Bits(), nullptr);
}

} // namespace
} // namespace kestrova

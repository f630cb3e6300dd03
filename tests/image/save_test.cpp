#include "codec/image/frame_image.h"
#include "image/image_test_util.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace kestrova {
namespace {

using test::TempDir;

FrameImage Smooth(int width, int height) {
    FrameImage image;
    EXPECT_TRUE(
        image.Decode(test::ToPackedDib(test::SmoothImage(width, height)), ImageFormat::Bmp));
    return image;
}

size_t CountEntries(const std::filesystem::path& dir) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                             std::filesystem::directory_iterator()));
}

TEST(FrameImageSave, JpegAtQuality90DecodesBackClose) {
    TempDir dir;
    const FrameImage image = Smooth(64, 48);
    ASSERT_TRUE(image.Save(dir.File("s.jpg"), ImageFormat::Jpeg));
    const auto bytes = test::ReadFile(dir.File("s.jpg"));
    // Decoded by the reference tool, not by the code under test.
    const test::RgbImage back = test::DjpegDecode(dir, bytes);
    const test::RgbImage original = test::FromDibBits(image.Bits(), 64, 48);
    EXPECT_GE(test::Psnr(original, back), 38.0);
}

TEST(FrameImageSave, JpegIsBaselineJfifAt96Dpi) {
    TempDir dir;
    ASSERT_TRUE(Smooth(20, 10).Save(dir.File("d.jpg"), ImageFormat::Jpeg));
    const auto b = test::ReadFile(dir.File("d.jpg"));
    ASSERT_GT(b.size(), 20u);
    // SOI, then the JFIF APP0 segment: identifier, version, units, densities.
    EXPECT_EQ(b[0], 0xFF);
    EXPECT_EQ(b[1], 0xD8);
    EXPECT_EQ(b[2], 0xFF);
    EXPECT_EQ(b[3], 0xE0);
    EXPECT_EQ(std::string(b.begin() + 6, b.begin() + 11), std::string("JFIF\0", 5));
    EXPECT_EQ(b[13], 1); // dots per inch
    EXPECT_EQ(b[14] << 8 | b[15], 96);
    EXPECT_EQ(b[16] << 8 | b[17], 96);
    bool baseline = false, progressive = false;
    for (size_t i = 0; i + 1 < b.size(); ++i) {
        baseline |= b[i] == 0xFF && b[i + 1] == 0xC0;
        progressive |= b[i] == 0xFF && b[i + 1] == 0xC2;
    }
    EXPECT_TRUE(baseline);
    EXPECT_FALSE(progressive);
}

TEST(FrameImageSave, MissingFolderFailsAndWritesNothing) {
    TempDir dir;
    const FrameImage image = Smooth(8, 8);
    const auto missing = dir.Path() / "no" / "such";
    for (auto format : {ImageFormat::Bmp, ImageFormat::Jpeg})
        EXPECT_FALSE(image.Save((missing / "x.img").string(), format));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "no"));
    EXPECT_EQ(CountEntries(dir.Path()), 0u);
}

TEST(FrameImageSave, FailedWritesLeaveNoFilesBehind) {
    TempDir dir;
    const FrameImage image = Smooth(8, 8);
    // The target is a folder: the rename fails after the data was written.
    std::filesystem::create_directory(dir.Path() / "taken");
    EXPECT_FALSE(image.Save(dir.File("taken"), ImageFormat::Jpeg));
    EXPECT_FALSE(FrameImage().Save(dir.File("empty.bmp"), ImageFormat::Bmp));
    EXPECT_FALSE(image.Save("", ImageFormat::Bmp));
    EXPECT_EQ(CountEntries(dir.Path()), 1u);

    // A read-only folder refuses the temporary file (root ignores modes).
    if (::geteuid() != 0) {
        std::filesystem::create_directory(dir.Path() / "ro");
        ::chmod((dir.Path() / "ro").c_str(), 0555);
        EXPECT_FALSE(image.Save(dir.File("ro/x.bmp"), ImageFormat::Bmp));
        EXPECT_EQ(CountEntries(dir.Path() / "ro"), 0u);
        ::chmod((dir.Path() / "ro").c_str(), 0755);
    }
}

TEST(FrameImageSave, LongestFileNameStillSaves) {
    TempDir dir;
    const std::string name = std::string(251, 'n') + ".bmp"; // 255, the usual limit
    EXPECT_TRUE(Smooth(4, 4).Save(dir.File(name), ImageFormat::Bmp));
    EXPECT_EQ(test::ReadFile(dir.File(name)).size(), 14u + 40u + 12u * 4u);
}

TEST(FrameImageSave, ReplacesAnExistingFileWholly) {
    TempDir dir;
    const std::string path = dir.File("snap.bmp");
    test::WriteFile(path, std::vector<uint8_t>(100000, 0xAB));
    const FrameImage image = Smooth(8, 4);
    ASSERT_TRUE(image.Save(path, ImageFormat::Bmp));
    EXPECT_EQ(test::ReadFile(path).size(), 14u + 40u + 24u * 4u);
    EXPECT_EQ(CountEntries(dir.Path()), 1u); // no temporary left over
    // Permissions as for any newly created file, not those of a private
    // temporary.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

} // namespace
} // namespace kestrova

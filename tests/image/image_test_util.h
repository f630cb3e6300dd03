#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kestrova::test {

// A temporary folder removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// An RGB picture, rows top first, 3 bytes per pixel, no padding.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    std::array<uint8_t, 3> At(int x, int y) const;
};

RgbImage SmoothImage(int width, int height);
RgbImage RandomImage(int width, int height, uint32_t seed);

// Builds a packed 24-bit bottom-up DIB (40-byte header + padded rows) without
// going through the code under test.
std::vector<uint8_t> ToPackedDib(const RgbImage& image);
// The blue, green, red bytes of pixel (x, y), y counted from the top.
std::array<uint8_t, 3> DibPixel(const uint8_t* bits, int width, int height, int x, int y);

std::vector<uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

void WritePpm(const std::string& path, const RgbImage& image);
// Reads a binary PPM (P6) or PGM (P5, grey copied to all three channels).
RgbImage ReadPnm(const std::string& path);

// Runs a shell command; true when it exits with status 0.
bool Run(const std::string& command);

// Encodes an RGB picture with the cjpeg tool (extra options such as
// "-grayscale" or "-progressive").
std::vector<uint8_t> CjpegEncode(const TempDir& dir, const RgbImage& image,
                                 const std::string& options);
// Decodes JPEG bytes with the djpeg tool.
RgbImage DjpegDecode(const TempDir& dir, const std::vector<uint8_t>& jpeg);

// Peak signal-to-noise ratio over all channels, in dB.
double Psnr(const RgbImage& a, const RgbImage& b);

// The RGB picture held by a packed DIB's bits.
RgbImage FromDibBits(const uint8_t* bits, int width, int height);

} // namespace kestrova::test

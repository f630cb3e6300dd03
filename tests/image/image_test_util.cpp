#include "image/image_test_util.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace kestrova::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kimgXXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::array<uint8_t, 3> RgbImage::At(int x, int y) const {
    const size_t at = (static_cast<size_t>(y) * width + x) * 3;
    return {rgb[at], rgb[at + 1], rgb[at + 2]};
}

RgbImage SmoothImage(int width, int height) {
    RgbImage img{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width;
            const double v = static_cast<double>(y) / height;
            const size_t at = (static_cast<size_t>(y) * width + x) * 3;
            img.rgb[at] = static_cast<uint8_t>(40 + 170 * u);
            img.rgb[at + 1] = static_cast<uint8_t>(128 + 90 * std::sin(3.0 * u + 2.0 * v));
            img.rgb[at + 2] = static_cast<uint8_t>(30 + 180 * v);
        }
    }
    return img;
}

RgbImage RandomImage(int width, int height, uint32_t seed) {
    RgbImage img{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    std::mt19937 rng(seed);
    for (auto& b : img.rgb)
        b = static_cast<uint8_t>(rng());
    return img;
}

namespace {

void Put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

} // namespace

std::vector<uint8_t> ToPackedDib(const RgbImage& image) {
    const size_t stride = (static_cast<size_t>(image.width) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> out(40 + stride * image.height);
    Put32(out, 0, 40);
    Put32(out, 4, static_cast<uint32_t>(image.width));
    Put32(out, 8, static_cast<uint32_t>(image.height));
    Put16(out, 12, 1);
    Put16(out, 14, 24);
    Put32(out, 20, static_cast<uint32_t>(stride * image.height));
    Put32(out, 24, 2835);
    Put32(out, 28, 2835);
    for (int y = 0; y < image.height; ++y) {
        uint8_t* row = out.data() + 40 + stride * (image.height - 1 - y);
        for (int x = 0; x < image.width; ++x) {
            const auto p = image.At(x, y);
            row[x * 3] = p[2];
            row[x * 3 + 1] = p[1];
            row[x * 3 + 2] = p[0];
        }
    }
    return out;
}

std::array<uint8_t, 3> DibPixel(const uint8_t* bits, int width, int height, int x, int y) {
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    const uint8_t* p = bits + stride * (height - 1 - y) + x * 3;
    return {p[0], p[1], p[2]};
}

RgbImage FromDibBits(const uint8_t* bits, int width, int height) {
    RgbImage img{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto bgr = DibPixel(bits, width, height, x, y);
            const size_t at = (static_cast<size_t>(y) * width + x) * 3;
            img.rgb[at] = bgr[2];
            img.rgb[at + 1] = bgr[1];
            img.rgb[at + 2] = bgr[0];
        }
    }
    return img;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void WritePpm(const std::string& path, const RgbImage& image) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << image.width << " " << image.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(image.rgb.data()),
              static_cast<std::streamsize>(image.rgb.size()));
}

RgbImage ReadPnm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxval = 0;
    RgbImage img;
    in >> magic >> img.width >> img.height >> maxval;
    in.get(); // the single blank after the header
    if ((magic != "P6" && magic != "P5") || maxval != 255 || !in)
        throw std::runtime_error("not a PPM/PGM: " + path);
    const size_t pixels = static_cast<size_t>(img.width) * img.height;
    img.rgb.resize(pixels * 3);
    if (magic == "P6") {
        in.read(reinterpret_cast<char*>(img.rgb.data()), static_cast<std::streamsize>(pixels * 3));
    } else {
        std::vector<uint8_t> grey(pixels);
        in.read(reinterpret_cast<char*>(grey.data()), static_cast<std::streamsize>(pixels));
        for (size_t i = 0; i < pixels; ++i)
            img.rgb[i * 3] = img.rgb[i * 3 + 1] = img.rgb[i * 3 + 2] = grey[i];
    }
    if (!in)
        throw std::runtime_error("short PNM: " + path);
    return img;
}

bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

std::vector<uint8_t> CjpegEncode(const TempDir& dir, const RgbImage& image,
                                 const std::string& options) {
    const std::string ppm = dir.File("cjpeg_in.ppm");
    const std::string jpg = dir.File("cjpeg_out.jpg");
    WritePpm(ppm, image);
    if (!Run("cjpeg " + options + " -outfile '" + jpg + "' '" + ppm + "'"))
        throw std::runtime_error("cjpeg failed");
    return ReadFile(jpg);
}

RgbImage DjpegDecode(const TempDir& dir, const std::vector<uint8_t>& jpeg) {
    const std::string jpg = dir.File("djpeg_in.jpg");
    const std::string pnm = dir.File("djpeg_out.pnm");
    WriteFile(jpg, jpeg);
    if (!Run("djpeg -pnm -outfile '" + pnm + "' '" + jpg + "'"))
        throw std::runtime_error("djpeg failed");
    return ReadPnm(pnm);
}

double Psnr(const RgbImage& a, const RgbImage& b) {
    if (a.width != b.width || a.height != b.height)
        return 0.0;
    double sum = 0.0;
    for (size_t i = 0; i < a.rgb.size(); ++i) {
        const double d = static_cast<double>(a.rgb[i]) - b.rgb[i];
        sum += d * d;
    }
    if (sum == 0.0)
        return 99.0;
    const double mse = sum / static_cast<double>(a.rgb.size());
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

} // namespace kestrova::test

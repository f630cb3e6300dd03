// Decodes camera-like 640 x 480 JPEG frames through FrameImage and through
// bare libjpeg-turbo (same data, BGR output into a reused buffer) and prints
// the time per frame of each and the overhead of the frame image.
//
//   image_decode_bench [rounds]
#include "codec/image/frame_image.h"
#include "codec/image/jpeg_codec.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <jpeglib.h>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kFrames = 8;

// A photo-like scene: sky gradient, textured ground, a few hard-edged
// objects and sensor noise, shifted a little from frame to frame.
std::vector<uint8_t> Scene(int frame) {
    const int stride = kestrova::DibStride(kWidth);
    std::vector<uint8_t> bits(static_cast<size_t>(stride) * kHeight);
    std::mt19937 rng(static_cast<uint32_t>(frame) + 1);
    std::normal_distribution<double> noise(0.0, 4.0);
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = bits.data() + static_cast<size_t>(kHeight - 1 - y) * stride;
        for (int x = 0; x < kWidth; ++x) {
            double r, g, b;
            if (y < 200) { // sky
                r = 120 + y * 0.4;
                g = 160 + y * 0.3;
                b = 230 - y * 0.1;
            } else { // ground with texture
                const double t = std::sin(x * 0.07 + frame) * std::cos(y * 0.11) * 25;
                r = 90 + t + (y - 200) * 0.1;
                g = 110 + t * 0.8;
                b = 60 + t * 0.5;
            }
            const int bx = x - 100 - frame * 6, by = y - 250;
            if (bx >= 0 && bx < 120 && by >= 0 && by < 160) { // a building
                const bool window = (bx % 20 > 5 && bx % 20 < 15) && (by % 25 > 6 && by % 25 < 19);
                r = window ? 40 : 180;
                g = window ? 50 : 170;
                b = window ? 70 : 150;
            }
            const double dx = x - 450.0 + frame * 4, dy = y - 330.0;
            if (dx * dx + dy * dy < 60.0 * 60.0) { // a red car-ish blob
                r = 200;
                g = 30;
                b = 35;
            }
            const double n = noise(rng);
            row[x * 3] = static_cast<uint8_t>(std::clamp(b + n, 0.0, 255.0));
            row[x * 3 + 1] = static_cast<uint8_t>(std::clamp(g + n, 0.0, 255.0));
            row[x * 3 + 2] = static_cast<uint8_t>(std::clamp(r + n, 0.0, 255.0));
        }
    }
    return bits;
}

// Bare libjpeg-turbo: memory source, BGR output, default settings, top row first.
void BareDecode(const std::vector<uint8_t>& jpeg, std::vector<uint8_t>& out) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    const size_t stride = static_cast<size_t>(cinfo.output_width) * 3;
    out.resize(stride * cinfo.output_height);
    // Every row pointer at once, so the library writes as many rows per call as it can
    // (one row per call costs libjpeg-turbo an extra copy for subsampled pictures).
    std::vector<JSAMPROW> rows(cinfo.output_height);
    for (JDIMENSION y = 0; y < cinfo.output_height; ++y)
        rows[y] = out.data() + y * stride;
    while (cinfo.output_scanline < cinfo.output_height) {
        if (jpeg_read_scanlines(&cinfo, rows.data() + cinfo.output_scanline,
                                cinfo.output_height - cinfo.output_scanline) == 0)
            break;
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
}

// Processor time of this (single-threaded) process in milliseconds: on a shared machine,
// time spent descheduled would otherwise count against whichever side happened to be
// running.
double CpuMs() {
    return static_cast<double>(std::clock()) * 1e3 / CLOCKS_PER_SEC;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;
    std::vector<std::vector<uint8_t>> frames;
    size_t totalBytes = 0;
    for (int i = 0; i < kFrames; ++i) {
        std::vector<uint8_t> jpeg;
        if (!kestrova::image::EncodeJpeg(Scene(i).data(), kWidth, kHeight,
                                         kestrova::DibStride(kWidth), 75, jpeg)) {
            std::fprintf(stderr, "encoding failed\n");
            return 1;
        }
        totalBytes += jpeg.size();
        frames.push_back(std::move(jpeg));
    }

    double bare = 1e9, image = 1e9;
    std::vector<uint8_t> out;
    kestrova::FrameImage frame;
    unsigned check = 0;
    // Interleaved rounds so that both sides see the same machine load; each keeps its
    // best round.
    for (int r = 0; r < rounds; ++r) {
        const double t0 = CpuMs();
        for (const auto& jpeg : frames) {
            BareDecode(jpeg, out);
            check += out[out.size() / 2];
        }
        const double t1 = CpuMs();
        for (const auto& jpeg : frames) {
            if (!frame.Decode(jpeg, kestrova::ImageFormat::Jpeg)) {
                std::fprintf(stderr, "FrameImage decode failed\n");
                return 1;
            }
            check += frame.Bits()[frame.Dib().size() / 2];
            frame.Destroy(); // as the display path does before the next frame
        }
        const double t2 = CpuMs();
        bare = std::min(bare, (t1 - t0) / kFrames);
        image = std::min(image, (t2 - t1) / kFrames);
    }
    const double b = bare, f = image;
    std::printf("640x480 quality 75, %d frames, %zu bytes average, %d rounds (check %u)\n", kFrames,
                totalBytes / kFrames, rounds, check & 1);
    std::printf("bare libjpeg-turbo to BGR: %.3f ms/frame (%.1f frames/s)\n", b, 1000.0 / b);
    std::printf("FrameImage::Decode:        %.3f ms/frame (%.1f frames/s)\n", f, 1000.0 / f);
    std::printf("overhead: %+.1f %%\n", (f / b - 1.0) * 100.0);
    return 0;
}

// Our YUV 4:2:0 to bottom-up BGR24 conversion against libswscale's
// yuv420p -> bgr24 (row flip by a negative destination stride), in pixels
// per second of processor time. The machine is shared, so the two sides
// take turns over a few rounds and each keeps its best round.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

#include "codec/yuv/yuv2rgb.h"
#include "codec/yuv/yuv_convert.h"
#include "codec/yuv/yuv_kernel.h"

namespace {

// Processor time of this (single-threaded) process: on a shared machine,
// time spent descheduled would otherwise count against whichever side
// happened to be running.
double cpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

template <typename F> double pixelsPerSecond(int width, int height, int frames, F&& convert) {
    convert(); // warm caches and lazy set-up
    const double start = cpuSeconds();
    for (int i = 0; i < frames; ++i) {
        convert();
    }
    const double seconds = cpuSeconds() - start;
    return static_cast<double>(width) * height * frames / seconds;
}

void run(int width, int height, int frames) {
    std::vector<uint8_t> yuv(width * height * 3 / 2);
    std::mt19937 rng(1);
    for (auto& b : yuv) {
        b = static_cast<uint8_t>(rng());
    }
    std::vector<uint8_t> ours(width * height * 3), theirs(width * height * 3);

    SwsContext* sws =
        sws_getContext(width, height, AV_PIX_FMT_YUV420P, width, height, AV_PIX_FMT_BGR24,
                       SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
    if (sws == nullptr) {
        std::printf("libswscale context failed\n");
        return;
    }
    const uint8_t* src[3] = {yuv.data(), yuv.data() + width * height,
                             yuv.data() + width * height * 5 / 4};
    const int srcStride[3] = {width, width / 2, width / 2};
    uint8_t* dst[1] = {theirs.data() + (height - 1) * width * 3};
    const int dstStride[1] = {-width * 3};
    double oursRate = 0;
    double swsRate = 0;
    for (int round = 0; round < 5; ++round) {
        oursRate = std::max(oursRate, pixelsPerSecond(width, height, frames, [&] {
                                ConvertYUVtoRGB(yuv.data(), ours.data(), width, height);
                            }));
        swsRate = std::max(swsRate, pixelsPerSecond(width, height, frames, [&] {
                               sws_scale(sws, src, srcStride, 0, height, dst, dstStride);
                           }));
    }
    sws_freeContext(sws);

    std::printf("%4dx%-4d  ours %8.1f Mpixel/s  libswscale %8.1f Mpixel/s  ratio %.2fx\n", width,
                height, oursRate / 1e6, swsRate / 1e6, oursRate / swsRate);

    // Each kernel this CPU runs, for comparison with the one chosen above.
    using namespace kestrova::yuv;
    ColourTables colour{};
    fillColourTables(colour);
    std::vector<uint8_t> clampRaw(kClampSize);
    const ConversionTables tables{&colour, fillClampTable(clampRaw.data())};
    const PlanarPicture planes{src[0], src[1], src[2]};
    for (const Kernel& kernel : availableKernels()) {
        double rate = 0;
        for (int round = 0; round < 3; ++round) {
            rate = std::max(rate, pixelsPerSecond(width, height, frames, [&] {
                                convertPicture(tables, kernel, planes, ours.data(), width, height);
                            }));
        }
        std::printf("           kernel %-10s %8.1f Mpixel/s  ratio %.2fx\n", kernel.name,
                    rate / 1e6, rate / swsRate);
    }
}

} // namespace

int main() {
    init_YUV2RGB_tab();
    std::printf("kernel: %s\n", kestrova::yuv::bestKernel().name);
    run(640, 480, 200);
    run(1408, 960, 50);
    delete_YUV2RGB_tab();
    return 0;
}

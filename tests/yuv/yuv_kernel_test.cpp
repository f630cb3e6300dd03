#include "codec/yuv/bgr_widen.h"
#include "codec/yuv/yuv_convert.h"
#include "codec/yuv/yuv_kernel.h"
#include "yuv/yuv_test_util.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace kestrova::yuv {
namespace {

using testing::Picture;
using testing::randomPicture;

struct Tables {
    ColourTables colour{};
    uint8_t raw[kClampSize]{};
    ConversionTables view{};
    Tables() {
        fillColourTables(colour);
        view = {&colour, fillClampTable(raw)};
    }
};

TEST(YuvKernels, SimdKernelsMatchReferenceOnRandomPlanes) {
    const Tables tables;
    const auto kernels = availableKernels();
    ASSERT_GE(kernels.size(), 1u);
    EXPECT_STREQ(kernels[0].name, "reference");
    // Widths cover whole SIMD steps, partial steps and the 4-pixel tails.
    const std::pair<int, int> sizes[] = {{4, 2},     {12, 4},   {16, 2},  {20, 2},
                                         {32, 4},    {36, 6},   {60, 2},  {100, 8},
                                         {176, 144}, {640, 32}, {1412, 4}};
    for (const Kernel& kernel : kernels.subspan(1)) {
        for (auto [w, h] : sizes) {
            Picture p = randomPicture(w, h, static_cast<uint32_t>(w * 131 + h));
            // Extreme values exercise both ends of the clamp.
            p.y()[0] = 0;
            p.y()[1] = 255;
            p.cb()[0] = 0;
            p.cr()[0] = 255;
            const PlanarPicture planes{p.y(), p.cb(), p.cr()};
            std::vector<uint8_t> ref(w * h * 3 + 32, 0x77), simd(w * h * 3 + 32, 0x77);
            ASSERT_TRUE(convertPicture(tables.view, kernels[0], planes, ref.data(), w, h));
            ASSERT_TRUE(convertPicture(tables.view, kernel, planes, simd.data(), w, h));
            EXPECT_EQ(simd, ref) << kernel.name << " " << w << "x" << h;
        }
    }
}

// Every (Y, Cb) combination with a spread of Cr values through every SIMD kernel
// against the reference: one 256-wide picture per Cr value, rows sweeping Cb.
TEST(YuvKernels, SimdKernelsMatchReferenceOnAllSampleValues) {
    const Tables tables;
    Picture p(512, 512);
    for (int row = 0; row < 512; ++row) {
        for (int col = 0; col < 512; ++col) {
            p.y()[row * 512 + col] = static_cast<uint8_t>(col / 2 + (row % 2) * 128);
        }
    }
    for (int row = 0; row < 256; ++row) {
        for (int col = 0; col < 256; ++col) {
            p.cb()[row * 256 + col] = static_cast<uint8_t>(row);
        }
    }
    const auto kernels = availableKernels();
    std::vector<uint8_t> ref(512 * 512 * 3), fast(512 * 512 * 3);
    for (int cr = 0; cr < 256; cr += 5) {
        std::fill(p.cr(), p.cr() + 256 * 256, static_cast<uint8_t>(cr));
        const PlanarPicture planes{p.y(), p.cb(), p.cr()};
        convertPicture(tables.view, kernels[0], planes, ref.data(), 512, 512);
        for (const Kernel& kernel : kernels.subspan(1)) {
            convertPicture(tables.view, kernel, planes, fast.data(), 512, 512);
            ASSERT_EQ(fast, ref) << kernel.name << " cr=" << cr;
        }
    }
}

// Every widening kernel against the portable one, over widths with every tail length.
TEST(YuvKernels, WideningKernelsMatchThePortableOne) {
    const auto kernels = widenKernels();
    ASSERT_STREQ(kernels[0].name, "plain");
    std::vector<uint8_t> bgr(3 * 700);
    for (size_t i = 0; i < bgr.size(); ++i)
        bgr[i] = static_cast<uint8_t>(i * 7 + i / 3);
    for (const WidenKernel& kernel : kernels.subspan(1))
        for (int width : {1, 3, 15, 16, 17, 33, 63, 64, 65, 640, 700}) {
            std::vector<uint32_t> want(width + 1, 0x11), got(width + 1, 0x11);
            widenBgrRowPlain(bgr.data(), width, want.data());
            kernel.widen(bgr.data(), width, got.data());
            EXPECT_EQ(got, want) << kernel.name << " width " << width;
        }
}

// Through every kernel, the surface form is the reference 24-bit picture widened,
// top-down, in each flip and mirror combination, from planes with gaps between lines;
// rows past the picture are untouched.
TEST(YuvKernels, SurfaceFormIsTheBgrPictureWidenedInEveryMode) {
    const Tables tables;
    const auto kernels = availableKernels();
    for (const Kernel& kernel : kernels)
        for (auto [w, h] : {std::pair{36, 6}, std::pair{100, 4}, std::pair{640, 16}}) {
            const int lumaStride = w + 40, chromaStride = w / 2 + 24;
            Picture packed = randomPicture(w, h, static_cast<uint32_t>(w + h));
            std::vector<uint8_t> y(size_t(lumaStride) * h), cb(size_t(chromaStride) * h / 2),
                cr(cb.size());
            for (int r = 0; r < h; ++r)
                std::memcpy(&y[size_t(r) * lumaStride], packed.y() + r * w, w);
            for (int r = 0; r < h / 2; ++r) {
                std::memcpy(&cb[size_t(r) * chromaStride], packed.cb() + r * (w / 2), w / 2);
                std::memcpy(&cr[size_t(r) * chromaStride], packed.cr() + r * (w / 2), w / 2);
            }
            std::vector<uint8_t> bgr(size_t(w) * h * 3);
            ASSERT_TRUE(convertPicture(tables.view, kernels[0],
                                       {packed.y(), packed.cb(), packed.cr()}, bgr.data(), w, h));
            const PlanarPicture strided{y.data(), cb.data(), cr.data(), lumaStride, chromaStride};
            const int stride = w + 3; // in pixels
            for (int mode = 0; mode < 4; ++mode) {
                std::vector<uint32_t> surface(size_t(stride) * (h + 1), 0x11);
                const SurfaceTarget target{reinterpret_cast<uint8_t*>(surface.data()),
                                           std::ptrdiff_t{stride} * 4, (mode & 1) != 0,
                                           (mode & 2) != 0};
                ASSERT_TRUE(convertPictureToSurface(tables.view, kernel, strided, target, w, h));
                for (int row = 0; row < h; ++row) {
                    const int line = target.flip ? h - 1 - row : row;
                    const uint8_t* src = &bgr[size_t(h - 1 - line) * w * 3]; // bgr is bottom-up
                    for (int x = 0; x < w; ++x) {
                        const uint8_t* px = src + 3 * (target.mirror ? w - 1 - x : x);
                        const uint32_t want =
                            0xFF000000u | uint32_t(px[2]) << 16 | uint32_t(px[1]) << 8 | px[0];
                        ASSERT_EQ(surface[size_t(row) * stride + x], want)
                            << kernel.name << " " << w << "x" << h << " mode " << mode << " at "
                            << x << "," << row;
                    }
                    EXPECT_EQ(surface[size_t(row) * stride + w], 0x11u) << "row padding written";
                }
                EXPECT_EQ(surface[size_t(h) * stride], 0x11u) << "written past the last row";
            }
        }
    uint32_t pixel = 0x11;
    const PlanarPicture any{&reinterpret_cast<uint8_t&>(pixel), &reinterpret_cast<uint8_t&>(pixel),
                            &reinterpret_cast<uint8_t&>(pixel)};
    const SurfaceTarget one{reinterpret_cast<uint8_t*>(&pixel), 4};
    EXPECT_FALSE(
        convertPictureToSurface(tables.view, bestKernel(), any, one, kMaxSurfaceWidth + 4, 2));
    EXPECT_FALSE(convertPictureToSurface(tables.view, bestKernel(), any, one, 6, 2));
    EXPECT_FALSE(convertPictureToSurface({}, bestKernel(), any, one, 4, 2));
    EXPECT_EQ(pixel, 0x11u);
}

} // namespace
} // namespace kestrova::yuv

#include "codec/yuv/yuv_convert.h"
#include "codec/yuv/yuv_kernel.h"
#include "yuv/yuv_test_util.h"

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

} // namespace
} // namespace kestrova::yuv

// The vector kernels against the plain ones, byte for byte.

#include "codec/mpeg4/deblock.h"
#include "codec/mpeg4/deblock_simd.h"
#include "codec/mpeg4/dsp.h"
#include "codec/mpeg4/idct.h"
#include "codec/mpeg4/idct_simd.h"
#include "codec/mpeg4/mc_simd.h"
#include "codec/mpeg4/motion_comp.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace kestrova::mpeg4 {
namespace {

using Block = std::array<int32_t, 64>;

bool has_avx2() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

bool has_avx512bw_gfni() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("gfni");
#else
    return false;
#endif
}

// Runs put and add of the reference and of `k` on copies of the block and of
// a random 8x8 picture area (stride 11, guard bytes around it) and reports the
// first difference.
void expect_same(const IdctKernels& k, const Block& block, std::mt19937& rng) {
    constexpr int kStride = 11;
    std::vector<uint8_t> area(kStride * 10);
    for (auto& v : area)
        v = static_cast<uint8_t>(rng() % 4 == 0 ? (rng() & 1) * 255 : rng());
    Block by_columns;
    for (int i = 0; i < 64; ++i)
        by_columns[8 * (i % 8) + i / 8] = block[i];
    static constexpr const char* kNames[3] = {"put", "add", "add by columns"};
    for (int kind = 0; kind < 3; ++kind) {
        Block a = block, b = kind == 2 ? by_columns : block;
        std::vector<uint8_t> want = area, got = area;
        uint8_t* dw = want.data() + kStride + 1;
        uint8_t* dg = got.data() + kStride + 1;
        if (kind == 0) {
            dsp_reference().idct_put(a.data(), dw, kStride);
            k.put(b.data(), dg, kStride);
        } else {
            dsp_reference().idct_add(a.data(), dw, kStride);
            (kind == 1 ? k.add : k.add_columns)(b.data(), dg, kStride);
        }
        ASSERT_EQ(want, got) << kNames[kind] << ", first coefficients " << block[0] << " "
                             << block[1] << " " << block[8];
        // Both leave the coefficients cleared for the next block.
        ASSERT_EQ(a, Block{}) << "reference " << kNames[kind];
        ASSERT_EQ(b, Block{}) << kNames[kind];
    }
}

TEST(IdctKernels, DcOnlyShortcutMatchesFullTransform) {
    for (int dc = -5000; dc <= 5000; ++dc) {
        Block b{};
        b[0] = dc;
        std::array<uint8_t, 8 * 9> want{}, got{};
        idct_put_ref(b.data(), want.data(), 9);
        idct_put_dc(dc, got.data(), 9);
        ASSERT_EQ(want, got) << "dc " << dc;
    }
}

TEST(IdctKernels, ColumnOrderedReferenceMatchesRowOrdered) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> coeff(-300, 300);
    for (int i = 0; i < 200; ++i) {
        Block rows{}, columns{};
        for (int j = 0; j < 6; ++j)
            rows[rng() % 64] = coeff(rng);
        for (int p = 0; p < 64; ++p)
            columns[8 * (p % 8) + p / 8] = rows[p];
        std::array<uint8_t, 64> want, got;
        for (int p = 0; p < 64; ++p)
            want[p] = got[p] = static_cast<uint8_t>(rng());
        idct_add_ref(rows.data(), want.data(), 8);
        dsp_reference().idct_add_columns(columns.data(), got.data(), 8);
        ASSERT_EQ(want, got);
    }
}

TEST(IdctKernels, Avx2MatchesReference) {
    if (!has_avx2())
        GTEST_SKIP() << "no AVX2";
    const IdctKernels k = idct_kernels_avx2();
    std::mt19937 rng(7);

    // Empty and DC-only blocks over the whole coefficient range.
    for (int dc = -2048; dc <= 2047; ++dc) {
        Block b{};
        b[0] = dc;
        expect_same(k, b, rng);
    }
    // Two saturated coefficients: the heaviest blocks the 32-bit path takes,
    // in every pair of positions and every sign.
    for (int p = 0; p < 64; ++p)
        for (int q = p + 1; q < 64; q += 3)
            for (int signs = 0; signs < 4; ++signs) {
                Block b{};
                b[p] = signs & 1 ? -2048 : 2047;
                b[q] = signs & 2 ? -2048 : 2047;
                expect_same(k, b, rng);
            }
    // Rows whose coefficients line up with the weights of the two rounded
    // odd terms (largest intermediates of the row pass), filled greedily up to
    // a total weight around the 32-bit limit: anything the vector path takes
    // must not overflow.
    constexpr int kOddWeights[2][4][2] = {{{3, -710}, {7, 602}, {1, 402}, {5, 142}},
                                          {{5, -710}, {1, 602}, {7, -402}, {3, -142}}};
    for (int row = 0; row < 8; ++row)
        for (const auto& pattern : kOddWeights)
            for (int total : {3000, 4000, 4096, 4097, 4500, 5000, 6000, 8000})
                for (int flip = 0; flip < 2; ++flip) {
                    Block b{};
                    int left = total;
                    for (const auto& [pos, weight] : pattern) {
                        const bool negative = (weight < 0) != (flip == 1);
                        const int mag = std::min(left, negative ? 2048 : 2047);
                        b[8 * row + pos] = negative ? -mag : mag;
                        left -= mag;
                    }
                    expect_same(k, b, rng);
                }
    // Sparse, dense and first-row/column blocks of mixed weight, including
    // ones past the 32-bit limit that go to the reference.
    std::uniform_int_distribution<int> coeff(-2048, 2047);
    for (int i = 0; i < 20000; ++i) {
        Block b{};
        const int kind = i % 5;
        const int n = kind == 0 ? 1 + int(rng() % 4) : kind == 1 ? 64 : 8;
        for (int j = 0; j < n; ++j) {
            int pos = int(rng() % 64);
            if (kind == 2)
                pos = j; // first row
            else if (kind == 3)
                pos = 8 * j; // first column
            else if (kind == 4)
                pos = 8 * int(rng() % 4) + int(rng() % 4); // top-left quarter
            const int scale = 1 << (rng() % 12);
            b[pos] = coeff(rng) * scale / 2048;
        }
        expect_same(k, b, rng);
    }
    // Values beyond what the decoder produces still give the reference bytes.
    for (int v : {4097, -4097, 30000, -30000}) {
        Block b{};
        b[0] = v;
        expect_same(k, b, rng);
        b[9] = -v / 3;
        expect_same(k, b, rng);
    }
}

// Every size, half position and rounding of `fast` against the plain kernel.
void expect_mc_matches(McBlockFn fast, const char* name) {
    std::mt19937 rng(3);
    constexpr int kSrcStride = 37, kDstStride = 21;
    std::vector<uint8_t> src(kSrcStride * 20);
    for (int round = 0; round < 50; ++round) {
        for (auto& v : src) // many extremes: 255 + 255 + 255 + 255 + 2 must not wrap
            v = static_cast<uint8_t>(rng() % 3 == 0 ? (rng() & 1) * 255 : rng());
        for (int size : {8, 16})
            for (int hx = 0; hx < 2; ++hx)
                for (int hy = 0; hy < 2; ++hy)
                    for (int r = 0; r < 2; ++r) {
                        std::vector<uint8_t> want(kDstStride * 18, 0x5a), got = want;
                        const uint8_t* s = src.data() + kSrcStride + 1;
                        mc_block_ref(want.data() + kDstStride, kDstStride, s, kSrcStride, size, hx,
                                     hy, r);
                        fast(got.data() + kDstStride, kDstStride, s, kSrcStride, size, hx, hy, r);
                        ASSERT_EQ(want, got) << name << " size " << size << " hx " << hx << " hy "
                                             << hy << " r " << r;
                    }
    }
}

// Exactly sized planes (no padding to hide over-reads) whose content takes
// every path of the filter: flat areas with small noise (smoothing on bytes),
// flat areas with rare spikes (smoothing on 16 bits at high strengths),
// blocks of constant values (the default mode at block edges), plain noise
// and extremes (saturated differences). Sizes cover whole and partial
// groups of 32 and 64 columns and lines, narrow planes, strides past the width and planes wider
// than one window of transposed columns; strengths cover both ends of the
// vector range and past it.
TEST(DeblockKernels, VectorKernelsMatchReference) {
    struct Kernel {
        const char* name;
        DeblockFn fn;
    };
    std::vector<Kernel> kernels;
    if (has_avx2())
        kernels.push_back({"avx2", deblock_luma_avx2_kernel()});
    if (has_avx512bw_gfni())
        kernels.push_back({"avx512", deblock_luma_avx512_kernel()});
    std::erase_if(kernels, [](const Kernel& k) { return !k.fn; });
    if (kernels.empty())
        GTEST_SKIP() << "no vector kernel";
    std::mt19937 rng(5);
    struct Case {
        int width, height, stride;
    };
    for (const Case c : {Case{176, 144, 176}, Case{72, 40, 72}, Case{24, 16, 24}, Case{16, 8, 16},
                         Case{40, 30, 40}, Case{15, 21, 15}, Case{13, 13, 20}, Case{33, 70, 48},
                         Case{1100, 24, 1100}, Case{1041, 12, 1104}, Case{128, 64, 136}})
        for (int qp : {-1, 0, 1, 2, 5, 12, 31, 36, 63, 64, 2000})
            for (int content = 0; content < 7; ++content) {
                std::vector<uint8_t> want(size_t(c.stride) * c.height);
                for (int y = 0; y < c.height; ++y)
                    for (int x = 0; x < c.stride; ++x) {
                        const int block = ((x / 8) * 37 + (y / 8) * 91) % 256;
                        const int spike = rng() % 6 == 0 ? (rng() % 2 ? -16 : int(rng() % 60)) : 0;
                        // Flat stretches with scattered busy patches: whole
                        // vectors of equal runs beside ones that change.
                        const bool patch = (x / 96) % 3 == 1 && (y / 16) % 2 == 0;
                        const int v =
                            content == 6 ? (patch ? int(rng() % 256) : 90 + x / 37 % 2 + y / 29 % 2)
                            : content == 0 ? 100 + x / 4 + int(rng() % 3)
                            : content == 1 ? block + int(rng() % 2)
                            : content == 2 ? block / 8 + int(rng() % 5) // near kThr1
                            : content == 3 ? 128 + spike
                            : content == 4 ? int(rng() % 4) * 85
                                           : int(rng() % 256);
                        want[size_t(y) * c.stride + x] =
                            static_cast<uint8_t>(std::clamp(v, 0, 255));
                    }
                const std::vector<uint8_t> in = want;
                deblock_luma(want.data(), c.stride, c.width, c.height, qp);
                for (const Kernel& k : kernels) {
                    std::vector<uint8_t> got = in;
                    k.fn(got.data(), c.stride, c.width, c.height, qp);
                    ASSERT_EQ(want, got)
                        << k.name << " " << c.width << "x" << c.height << " stride " << c.stride
                        << " qp " << qp << " content " << content;
                }
            }
}

TEST(McKernels, VectorKernelsMatchReferenceInEveryMode) {
    struct Kernel {
        const char* name;
        McBlockFn fn;
    };
    int tested = 0;
    for (const Kernel k : {Kernel{"sse2", mc_block_sse2()},
                           Kernel{"avx2", has_avx2() ? mc_block_avx2() : nullptr}}) {
        if (!k.fn)
            continue;
        expect_mc_matches(k.fn, k.name);
        ++tested;
    }
    if (tested == 0)
        GTEST_SKIP() << "no vector kernel";
}

TEST(DspTable, PicksTheVectorKernelsTheProcessorRuns) {
    if (!has_avx2())
        GTEST_SKIP() << "no AVX2";
    EXPECT_STREQ(dsp_default().name, "avx2");
    EXPECT_NE(dsp_default().idct_add, dsp_reference().idct_add);
}

} // namespace
} // namespace kestrova::mpeg4

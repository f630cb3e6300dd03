// The exported entry points: creation, the first-call defaults, output
// layouts and capacity, B pictures, headers in later frames, and refusal of
// broken or oversized input.

#include "codec/mpeg4/deblock.h"
#include "codec/mpeg4/decoder.h"
#include "mpeg4/clip_support.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace kestrova::mpeg4::testing {
namespace {

struct DecoderDeleter {
    void operator()(DECODER* d) const { decoder_destroy(d); }
};
using DecoderPtr = std::unique_ptr<DECODER, DecoderDeleter>;

DecoderPtr make_decoder(bool deblocking = false) {
    DecoderPtr d(reinterpret_cast<DECODER*>(decoder_create()));
    if (d)
        d->deblocking = deblocking ? 1 : 0;
    return d;
}

// Calls decoder_decode on an exactly sized private copy of the input.
int decode(DECODER* d, Bytes& out, const Bytes& frame, int* used = nullptr) {
    Bytes in(frame);
    int n = static_cast<int>(in.size());
    const int rc = decoder_decode(d, out.data(), in.data(), &n);
    if (used)
        *used = n;
    return rc;
}

Bytes headers_of(const Bytes& frame) {
    const long vop = find_start_code(frame, 0xB6);
    return Bytes(frame.begin(), frame.begin() + std::max(0L, vop));
}

Bytes from_vop(const Bytes& frame) {
    const long vop = find_start_code(frame, 0xB6);
    return Bytes(frame.begin() + std::max(0L, vop), frame.end());
}

class DecoderApi : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = make_temp_dir();
        ClipRecipe small;
        small.width = 176;
        small.height = 144;
        small.frames = 4;
        small.qscale = 5;
        ASSERT_TRUE(make_clip(small, dir_, small_));
    }
    static void TearDownTestSuite() { run("rm -rf '" + dir_ + "'"); }

    static std::string dir_;
    static Clip small_;
};

std::string DecoderApi::dir_;
Clip DecoderApi::small_;

TEST(DecoderLifecycle, CreateDefaultsAndNullHandles) {
    DecoderPtr d = make_decoder();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->width, 1024);
    EXPECT_EQ(d->height, 768);
    EXPECT_EQ(d->doubling, 1);
    EXPECT_EQ(d->deblocking, 0); // cleared by make_decoder
    DecoderPtr fresh(reinterpret_cast<DECODER*>(decoder_create()));
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->deblocking, 1);
    EXPECT_EQ(decoder_destroy(nullptr), -1);
    EXPECT_EQ(decoder_set_output_capacity(nullptr, 10), -1);
    Bytes out(16);
    Bytes in{0, 0, 1, 0xB6};
    int n = 4;
    EXPECT_EQ(decoder_decode(nullptr, out.data(), in.data(), &n), 1);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(decoder_decode(d.get(), out.data(), in.data(), nullptr), 1);
    n = 4;
    EXPECT_EQ(decoder_decode_view(d.get(), out.data(), in.data(), &n, nullptr), 1);
    EXPECT_EQ(n, 4);
}

TEST_F(DecoderApi, LayerHeaderGivesPlainOutputAndConsumedBytes) {
    DecoderPtr d = make_decoder();
    Bytes out(size_t(176) * 144 * 3 / 2);
    decoder_set_output_capacity(d.get(), static_cast<int>(out.size()));
    for (size_t i = 0; i < small_.frames.size(); ++i) {
        int used = 0;
        ASSERT_EQ(decode(d.get(), out, small_.frames[i], &used), 0) << i;
        EXPECT_EQ(used, static_cast<int>(small_.frames[i].size()));
        EXPECT_EQ(d->width, 176);
        EXPECT_EQ(d->height, 144);
        EXPECT_EQ(d->doubling, 0);
        EXPECT_GT(luma_psnr(out.data(), small_.reference[i].data(), 176 * 144), 40.0);
    }
}

TEST_F(DecoderApi, FirstFrameWithoutLayerHeaderIsDoubled1024x768) {
    // A full 1024 x 768 picture with one vop_time_increment bit, as the
    // decoder assumes when no layer header came first.
    ClipRecipe recipe;
    recipe.width = 1024;
    recipe.height = 768;
    recipe.frames = 1;
    recipe.qscale = 31;
    recipe.filter = "fps=1";
    Clip large;
    ASSERT_TRUE(make_clip(recipe, dir_, large));
    const Bytes bare = from_vop(large.frames[0]);
    DecoderPtr d = make_decoder();
    const size_t doubled = size_t(6) * 1024 * 768;
    Bytes out(doubled, 0xA5);
    decoder_set_output_capacity(d.get(), static_cast<int>(doubled - 1));
    int used = 0;
    EXPECT_EQ(decode(d.get(), out, bare, &used), 1);
    EXPECT_EQ(used, 4);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t v) { return v == 0xA5; }));

    decoder_set_output_capacity(d.get(), static_cast<int>(doubled));
    ASSERT_EQ(decode(d.get(), out, bare), 0);
    EXPECT_EQ(d->width, 1024);
    EXPECT_EQ(d->height, 768);
    EXPECT_EQ(d->doubling, 1);

    // Every plain sample stands at an even line and column of the doubled one.
    DecoderPtr plain = make_decoder();
    Bytes p(size_t(1024) * 768 * 3 / 2);
    ASSERT_EQ(decode(plain.get(), p, large.frames[0]), 0);
    ASSERT_EQ(plain->doubling, 0);
    const size_t luma = size_t(1024) * 768;
    for (int y = 0; y < 768; y += 7)
        for (int x = 0; x < 1024; x += 5)
            ASSERT_EQ(out[size_t(2 * y) * 2048 + 2 * x], p[size_t(y) * 1024 + x]);
    for (int y = 0; y < 384; y += 3)
        for (int x = 0; x < 512; x += 3) {
            ASSERT_EQ(out[4 * luma + size_t(2 * y) * 1024 + 2 * x], p[luma + size_t(y) * 512 + x]);
            ASSERT_EQ(out[5 * luma + size_t(2 * y) * 1024 + 2 * x],
                      p[luma + luma / 4 + size_t(y) * 512 + x]);
        }

    // Read in place, a doubled picture is shown where it was written: in dst.
    DecoderPtr viewed = make_decoder();
    Bytes again(doubled);
    Bytes in(bare);
    int n = static_cast<int>(in.size());
    PictureView view;
    ASSERT_EQ(decoder_decode_view(viewed.get(), again.data(), in.data(), &n, &view), 0);
    EXPECT_EQ(view.y, again.data());
    EXPECT_EQ(view.cr, again.data() + 5 * luma);
    EXPECT_EQ(view.luma_stride, 2048);
    EXPECT_EQ(view.chroma_stride, 1024);
    EXPECT_TRUE(again == out);
}

// The in-place view shows, sample for sample, what decoder_decode copies out, with and
// without deblocking, and leaves dst alone.
TEST_F(DecoderApi, InPlaceViewShowsWhatTheCopyHolds) {
    const int w = 176, h = 144;
    for (bool deblocking : {false, true}) {
        DecoderPtr copying = make_decoder(deblocking), viewing = make_decoder(deblocking);
        Bytes copy(size_t(w) * h * 3 / 2), untouched(copy.size(), 0xA5);
        for (size_t i = 0; i < small_.frames.size(); ++i) {
            ASSERT_EQ(decode(copying.get(), copy, small_.frames[i]), 0);
            Bytes in(small_.frames[i]);
            int n = static_cast<int>(in.size());
            PictureView v;
            ASSERT_EQ(decoder_decode_view(viewing.get(), untouched.data(), in.data(), &n, &v), 0);
            EXPECT_EQ(n, static_cast<int>(in.size()));
            const uint8_t* planes[3] = {v.y, v.cb, v.cr};
            const uint8_t* expected[3] = {copy.data(), copy.data() + w * h,
                                          copy.data() + w * h * 5 / 4};
            for (int p = 0; p < 3; ++p) {
                const int pw = p ? w / 2 : w, ph = p ? h / 2 : h;
                const ptrdiff_t stride = p ? v.chroma_stride : v.luma_stride;
                for (int y = 0; y < ph; ++y)
                    ASSERT_TRUE(std::equal(planes[p] + y * stride, planes[p] + y * stride + pw,
                                           expected[p] + y * pw))
                        << "frame " << i << " plane " << p << " line " << y;
            }
            viewing->deblocking = copying->deblocking = 0; // as the display path does
        }
        EXPECT_TRUE(
            std::all_of(untouched.begin(), untouched.end(), [](uint8_t b) { return b == 0xA5; }));
    }
}

TEST_F(DecoderApi, CapacityIsCheckedAgainstThePlainSize) {
    DecoderPtr d = make_decoder();
    const size_t need = size_t(176) * 144 * 3 / 2;
    Bytes out(need, 0x5A);
    decoder_set_output_capacity(d.get(), static_cast<int>(need - 1));
    int used = 0;
    EXPECT_EQ(decode(d.get(), out, small_.frames[0], &used), 1);
    EXPECT_EQ(used, 4);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t v) { return v == 0x5A; }));
    decoder_set_output_capacity(d.get(), static_cast<int>(need));
    EXPECT_EQ(decode(d.get(), out, small_.frames[0]), 0);
    decoder_set_output_capacity(d.get(), -1); // no limit
    EXPECT_EQ(decode(d.get(), out, small_.frames[1]), 0);
}

// A VOP header of the given coding type with 5 time-increment bits.
Bytes vop_without_picture(int type, bool coded) {
    BitWriter w;
    w.put(0x000001B6, 32);
    w.put(static_cast<uint32_t>(type), 2);
    w.put(0, 1);
    w.put(1, 1);
    w.put(3, 5);
    w.put(1, 1);
    w.put(coded ? 1 : 0, 1);
    if (coded)
        w.put(0b000001010001, 12); // whatever follows is not decoded
    w.stuff();
    return w.out;
}

TEST_F(DecoderApi, BAndSPicturesAndUncodedVopsDeliverTheCurrentPlanes) {
    DecoderPtr d = make_decoder();
    Bytes first(size_t(176) * 144 * 3 / 2), out(first.size());
    ASSERT_EQ(decode(d.get(), first, small_.frames[0]), 0);
    for (const Bytes& vop : {vop_without_picture(2, true), vop_without_picture(3, true),
                             vop_without_picture(1, false)}) {
        std::fill(out.begin(), out.end(), 0);
        int used = 0;
        ASSERT_EQ(decode(d.get(), out, vop, &used), 0);
        EXPECT_EQ(out, first);
        // Only the header is read; the picture data is not looked at.
        EXPECT_GT(used, 4);
        EXPECT_LE(used, static_cast<int>(vop.size()));
    }
    // The next P picture still predicts from the I picture.
    ASSERT_EQ(decode(d.get(), out, small_.frames[1]), 0);
    EXPECT_GT(luma_psnr(out.data(), small_.reference[1].data(), 176 * 144), 40.0);
}

TEST_F(DecoderApi, FrameWithoutStartCodeFailsAndHeadersAreScannedAgain) {
    DecoderPtr d = make_decoder();
    Bytes out(size_t(6) * 1024 * 768);
    Bytes junk{0x12, 0x34, 0x00, 0x00, 0x01, 0xB6, 0x00};
    int used = 0;
    EXPECT_EQ(decode(d.get(), out, junk, &used), 1);
    EXPECT_EQ(used, 4);
    EXPECT_EQ(d->width, 1024);
    ASSERT_EQ(decode(d.get(), out, small_.frames[0], &used), 0);
    EXPECT_EQ(d->width, 176);
    // Unknown start code values fail too.
    Bytes unknown{0x00, 0x00, 0x01, 0xC4, 0xFF, 0xFF};
    EXPECT_EQ(decode(d.get(), out, unknown, &used), 1);
    EXPECT_EQ(used, 4);
}

TEST_F(DecoderApi, TruncatedAndEmptyInputFailCleanly) {
    DecoderPtr d = make_decoder();
    Bytes out(size_t(6) * 1024 * 768);
    const Bytes& f0 = small_.frames[0];
    for (size_t cut : {size_t(3), size_t(30), f0.size() / 2, f0.size() - 40}) {
        int used = 0;
        EXPECT_EQ(decode(d.get(), out, Bytes(f0.begin(), f0.begin() + long(cut)), &used), 1) << cut;
        EXPECT_EQ(used, 4);
    }
    Bytes in(f0);
    for (int len : {0, -5}) {
        int n = len;
        EXPECT_EQ(decoder_decode(d.get(), out.data(), in.data(), &n), 1);
        EXPECT_EQ(n, 4);
    }
    EXPECT_EQ(decode(d.get(), out, f0), 0);
}

TEST_F(DecoderApi, CorruptPictureDataIsAnError) {
    DecoderPtr d = make_decoder();
    Bytes out(size_t(176) * 144 * 3 / 2);
    Bytes broken = small_.frames[0];
    const size_t mid = broken.size() / 2;
    std::fill(broken.begin() + long(mid), broken.begin() + long(mid) + 12, 0);
    EXPECT_EQ(decode(d.get(), out, broken), 1);
}

TEST_F(DecoderApi, LaterFramesMayRepeatHeaders) {
    DecoderPtr a = make_decoder(), b = make_decoder();
    Bytes outa(size_t(176) * 144 * 3 / 2), outb(outa.size());
    ASSERT_EQ(decode(a.get(), outa, small_.frames[0]), 0);
    ASSERT_EQ(decode(b.get(), outb, small_.frames[0]), 0);
    Bytes again = headers_of(small_.frames[0]);
    ASSERT_FALSE(again.empty());
    const Bytes vop = from_vop(small_.frames[1]);
    again.insert(again.end(), vop.begin(), vop.end());
    int used = 0;
    ASSERT_EQ(decode(a.get(), outa, again, &used), 0);
    EXPECT_EQ(used, static_cast<int>(again.size()));
    ASSERT_EQ(decode(b.get(), outb, vop), 0);
    EXPECT_EQ(outa, outb);
}

TEST_F(DecoderApi, OversizedOrOddLayerSizesAreRefused) {
    for (auto [w, h] : {std::pair{1040, 144}, {176, 784}, {168, 144}, {176, 0}}) {
        DecoderPtr d = make_decoder();
        Bytes out(size_t(6) * 1024 * 768);
        const Bytes frame = rewrite_to_camera_layer(small_.frames[0], w, h);
        ASSERT_FALSE(frame.empty());
        int used = 0;
        EXPECT_EQ(decode(d.get(), out, frame, &used), 1) << w << "x" << h;
        EXPECT_EQ(used, 4);
        EXPECT_EQ(d->width, 1024);
        EXPECT_EQ(d->doubling, 1);
    }
}

TEST_F(DecoderApi, DeblockingFiltersTheFirstIPictureWithStrengthFive) {
    DecoderPtr off = make_decoder(false), on = make_decoder(true);
    Bytes a(size_t(176) * 144 * 3 / 2), b(a.size());
    ASSERT_EQ(decode(off.get(), a, small_.frames[0]), 0);
    ASSERT_EQ(decode(on.get(), b, small_.frames[0]), 0);
    deblock_luma(a.data(), 176, 144, 5);
    EXPECT_EQ(a, b);
}

// The P picture of `frame` (a P picture of the 25 Hz clip, five time bits)
// with every macroblock skipped: its header bits up to the forward f_code,
// then one not_coded bit per macroblock.
Bytes all_skipped(const Bytes& frame, int macroblocks) {
    const Bytes vop = from_vop(frame);
    constexpr int kHeaderBits = 32 + 2 + 1 + 1 + 5 + 1 + 1 + 1 + 3 + 5 + 3;
    BitWriter w;
    for (int i = 0; i < kHeaderBits; ++i)
        w.put((vop[size_t(i / 8)] >> (7 - i % 8)) & 1, 1);
    for (int i = 0; i < macroblocks; ++i)
        w.put(1, 1);
    w.stuff();
    return w.out;
}

// A picture whose macroblocks are all skipped repeats the one before exactly,
// also when that one was deblocked (its skipped macroblocks filtered too) or
// when a broken picture was refused in between.
TEST_F(DecoderApi, SkippedPicturesRepeatFilteredPicturesAndSurviveBrokenOnes) {
    DecoderPtr d = make_decoder();
    const size_t size = size_t(176) * 144 * 3 / 2;
    std::vector<Bytes> out(4, Bytes(size));
    ASSERT_EQ(decode(d.get(), out[0], small_.frames[0]), 0);
    d->deblocking = 1; // filters the parts picture 1 skips as well
    ASSERT_EQ(decode(d.get(), out[1], small_.frames[1]), 0);
    d->deblocking = 0;
    const Bytes skipped = all_skipped(small_.frames[2], 99);
    ASSERT_EQ(decode(d.get(), out[2], skipped), 0);
    EXPECT_EQ(out[2], out[1]);
    Bytes broken = small_.frames[3];
    std::fill(broken.end() - 8, broken.end(), uint8_t{0});
    Bytes scratch(size);
    EXPECT_EQ(decode(d.get(), scratch, broken), 1);
    ASSERT_EQ(decode(d.get(), out[3], skipped), 0);
    EXPECT_EQ(out[3], out[1]);
}

} // namespace
} // namespace kestrova::mpeg4::testing

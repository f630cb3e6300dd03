// Whole clips from FFmpeg's encoder and from Xvid, decoded by this decoder and
// compared with FFmpeg's decoder picture by picture.

#include "codec/mpeg4/decoder.h"
#include "codec/mpeg4/dsp.h"
#include "mpeg4/clip_support.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>

namespace kestrova::mpeg4::testing {
namespace {

struct DecoderDeleter {
    void operator()(DECODER* d) const { decoder_destroy(d); }
};
using DecoderPtr = std::unique_ptr<DECODER, DecoderDeleter>;

DecoderPtr new_decoder() {
    return DecoderPtr(reinterpret_cast<DECODER*>(decoder_create()));
}

// Decodes every picture of the clip with deblocking off; empty entries mark
// failed calls. `kernels` replaces the decoder's default kernels.
std::vector<Bytes> decode_clip(const Clip& clip, bool camera_layer, const Dsp* kernels = nullptr) {
    std::vector<Bytes> pictures;
    DecoderPtr dec = new_decoder();
    dec->deblocking = 0;
    if (kernels)
        set_decoder_dsp(dec.get(), *kernels);
    const size_t size = size_t(clip.width) * clip.height * 3 / 2;
    Bytes out(size);
    decoder_set_output_capacity(dec.get(), static_cast<int>(out.size()));
    for (const Bytes& frame : clip.frames) {
        Bytes in = camera_layer ? rewrite_to_camera_layer(frame) : frame;
        int used = static_cast<int>(in.size());
        const bool ok = decoder_decode(dec.get(), out.data(), in.data(), &used) == 0 &&
                        dec->width == clip.width && dec->height == clip.height &&
                        dec->doubling == 0;
        pictures.push_back(ok ? out : Bytes{});
    }
    return pictures;
}

struct Scores {
    double mean = 0;
    double min = 99;
    int failed = -1; // first picture that did not decode
};

Scores score(const Clip& clip, const std::vector<Bytes>& pictures) {
    Scores sc;
    double sum = 0;
    for (size_t i = 0; i < pictures.size(); ++i) {
        if (pictures[i].empty()) {
            sc.failed = static_cast<int>(i);
            sc.min = 0;
            break;
        }
        const double p = luma_psnr(pictures[i].data(), clip.reference[i].data(),
                                   size_t(clip.width) * clip.height);
        sum += p;
        sc.min = std::min(sc.min, p);
    }
    sc.mean = pictures.empty() ? 0 : sum / double(pictures.size());
    return sc;
}

class StreamCompare : public ::testing::TestWithParam<ClipRecipe> {};

// Every clip decodes close to FFmpeg's pictures, and decodes identically when
// its layer header is rewritten to the camera's fixed form.
TEST_P(StreamCompare, MatchesReferenceDecoder) {
    const ClipRecipe recipe = GetParam();
    const std::string dir = make_temp_dir();
    ASSERT_FALSE(dir.empty());
    Clip clip;
    const bool made = make_clip(recipe, dir, clip);
    run("rm -rf '" + dir + "'");
    ASSERT_TRUE(made) << recipe.name();

    const std::vector<Bytes> pictures = decode_clip(clip, false);
    const Scores sc = score(clip, pictures);
    std::printf("%s: mean %.2f dB, min %.2f dB over %zu pictures\n", recipe.name().c_str(), sc.mean,
                sc.min, pictures.size());
    EXPECT_EQ(sc.failed, -1);
    if (recipe.gop >= 300) {
        EXPECT_GE(sc.min, 25.0);
    } else {
        EXPECT_GE(sc.mean, 40.0);
        EXPECT_GE(sc.min, 35.0);
    }

    const std::vector<Bytes> camera = decode_clip(clip, true);
    ASSERT_EQ(camera.size(), pictures.size());
    for (size_t i = 0; i < camera.size(); ++i)
        ASSERT_TRUE(camera[i] == pictures[i]) << "camera layer header, picture " << i;

    // The fast kernels and the plain ones give the same bytes.
    const std::vector<Bytes> plain = decode_clip(clip, false, &dsp_reference());
    ASSERT_EQ(plain.size(), pictures.size());
    for (size_t i = 0; i < plain.size(); ++i)
        ASSERT_TRUE(plain[i] == pictures[i])
            << dsp_default().name << " kernels differ from the reference, picture " << i;
}

// Content that moves several pixels per picture in both directions.
const std::string kFastMotion = "scroll=h=0.045:v=0.031";

ClipRecipe clip(std::string codec, std::string source, int w, int h, int q, int gop, bool mv4,
                bool mq, int frames, std::string filter = {}, int packet_bytes = 0) {
    ClipRecipe s;
    s.codec = std::move(codec);
    s.source = std::move(source);
    s.width = w;
    s.height = h;
    s.qscale = q;
    s.gop = gop;
    s.mv4 = mv4;
    s.mpeg_quant = mq;
    s.frames = frames;
    s.filter = std::move(filter);
    s.packet_bytes = packet_bytes;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Clips, StreamCompare,
    ::testing::Values(clip("mpeg4", "testsrc2", 176, 144, 2, 12, false, false, 20),
                      clip("mpeg4", "testsrc2", 320, 240, 5, 12, true, false, 15),
                      clip("mpeg4", "mandelbrot", 640, 480, 8, 12, false, true, 10),
                      clip("mpeg4", "life", 704, 480, 31, 1, false, false, 10),
                      clip("mpeg4", "testsrc", 176, 144, 3, 1, true, true, 10),
                      clip("mpeg4", "testsrc2", 320, 240, 12, 12, true, false, 20, kFastMotion),
                      clip("mpeg4", "testsrc", 640, 480, 16, 12, false, false, 10, kFastMotion),
                      clip("mpeg4", "testsrc2", 176, 144, 6, 300, false, false, 80),
                      clip("mpeg4", "testsrc2", 320, 240, 3, 6, true, false, 12, kFastMotion, 300),
                      clip("mpeg4", "mandelbrot", 176, 144, 4, 300, true, true, 60),
                      clip("libxvid", "testsrc2", 176, 144, 4, 12, false, false, 20),
                      clip("libxvid", "testsrc2", 640, 480, 20, 12, true, false, 10, kFastMotion),
                      clip("libxvid", "mandelbrot", 320, 240, 2, 1, false, true, 8),
                      clip("libxvid", "life", 176, 144, 10, 300, true, false, 80),
                      clip("libxvid", "testsrc2", 704, 480, 6, 12, false, true, 10, kFastMotion)),
    [](const ::testing::TestParamInfo<ClipRecipe>& info) {
        std::string n = info.param.name();
        std::replace_if(
            n.begin(), n.end(), [](char c) { return !std::isalnum(c); }, '_');
        return n;
    });

} // namespace
} // namespace kestrova::mpeg4::testing

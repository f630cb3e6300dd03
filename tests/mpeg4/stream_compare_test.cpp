// Whole clips from FFmpeg's encoder and from Xvid, decoded by this decoder and
// compared with FFmpeg's decoder picture by picture.

#include "codec/mpeg4/decoder.h"
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

struct Scores {
    double mean = 0;
    double min = 99;
    size_t decoded = 0;
    int bad_call = -1; // first frame that failed to decode
    int wrong_size = -1;
};

Scores decode_and_compare(const Clip& clip, bool camera_layer) {
    Scores sc;
    DecoderPtr dec = new_decoder();
    dec->deblocking = 0;
    const size_t picture = size_t(clip.width) * clip.height * 3 / 2;
    std::vector<uint8_t> out(6 * 1024 * 768);
    decoder_set_output_capacity(dec.get(), static_cast<int>(out.size()));
    double sum = 0;
    for (size_t i = 0; i < clip.frames.size(); ++i) {
        Bytes in = camera_layer ? rewrite_to_camera_layer(clip.frames[i]) : clip.frames[i];
        int used = static_cast<int>(in.size());
        if (decoder_decode(dec.get(), out.data(), in.data(), &used) != 0) {
            sc.bad_call = static_cast<int>(i);
            break;
        }
        if (dec->width != clip.width || dec->height != clip.height || dec->doubling) {
            sc.wrong_size = static_cast<int>(i);
            break;
        }
        (void)picture;
        const double p =
            luma_psnr(out.data(), clip.reference[i].data(), size_t(clip.width) * clip.height);
        sum += p;
        sc.min = std::min(sc.min, p);
        ++sc.decoded;
    }
    if (sc.decoded)
        sc.mean = sum / double(sc.decoded);
    return sc;
}

class StreamCompare : public ::testing::TestWithParam<ClipSpec> {};

TEST_P(StreamCompare, MatchesReferenceDecoder) {
    const ClipSpec spec = GetParam();
    const std::string dir = make_temp_dir();
    ASSERT_FALSE(dir.empty());
    Clip clip;
    ASSERT_TRUE(make_clip(spec, dir, clip)) << spec.name();
    const Scores sc = decode_and_compare(clip, false);
    std::printf("%s: mean %.2f dB, min %.2f dB over %zu pictures\n", spec.name().c_str(), sc.mean,
                sc.min, sc.decoded);
    EXPECT_EQ(sc.bad_call, -1);
    EXPECT_EQ(sc.wrong_size, -1);
    ASSERT_EQ(sc.decoded, clip.frames.size());
    if (spec.gop >= 300) {
        EXPECT_GE(sc.min, 25.0);
    } else {
        EXPECT_GE(sc.mean, 40.0);
        EXPECT_GE(sc.min, 35.0);
    }
    run("rm -rf '" + dir + "'");
}

ClipSpec clip(std::string codec, std::string source, int w, int h, int q, int gop, bool mv4,
              bool mq, int frames, std::string filter = {}) {
    ClipSpec s;
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
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Clips, StreamCompare,
    ::testing::Values(clip("mpeg4", "testsrc2", 176, 144, 2, 12, false, false, 20),
                      clip("mpeg4", "testsrc2", 320, 240, 5, 12, true, false, 15)),
    [](const ::testing::TestParamInfo<ClipSpec>& info) {
        std::string n = info.param.name();
        std::replace_if(
            n.begin(), n.end(), [](char c) { return !std::isalnum(c); }, '_');
        return n;
    });

} // namespace
} // namespace kestrova::mpeg4::testing

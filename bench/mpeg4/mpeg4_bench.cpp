// Decodes the same clip (default 600 pictures of 640x480) with this decoder
// and with libavcodec's MPEG-4 decoder on one thread (and with Xvid's own
// decoder where libxvidcore is built in), and prints pictures per second.
//
// Usage: mpeg4_bench [pictures] [qscale] [WxH] [mpeg4|libxvid] [mv4]
//   the fourth argument picks the encoder FFmpeg runs (its own, or Xvid
//   through libxvidcore); "mv4" lets it code four motion vectors per block.
//
// Both sides do the same work: one picture decoded per input frame, no
// deblocking and no doubling (the layer header switches doubling off), the
// picture left where the decoder keeps it (ours through decoder_decode_view,
// as the viewer's display path decodes; libavcodec hands out its own
// buffers). A further line gives ours through the exported decoder_decode,
// which copies every picture into the caller's buffer. Input buffers for
// both sides are prepared before the clock starts.
// Times are processor time of this program (one thread), best of three passes.
// The last line gives the extra time deblocking costs on the picture it is
// used for (the first after a start): key pictures decoded with it on and off.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}
#ifdef KESTROVA_HAVE_XVID
#include <xvid.h>
#endif

#include "codec/mpeg4/decoder.h"
#include "mpeg4/clip_support.h"

using kestrova::mpeg4::testing::Bytes;
namespace t = kestrova::mpeg4::testing;

namespace {

// Processor time of the program, which runs both decoders on its one
// thread (libavcodec with one thread): time spent preempted by other
// programs on a shared machine does not count against either side.
double cpu_seconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
}

// One call of ours: in place (the picture viewed in the decoder's store) or
// copied out into `out`; a sample of the picture goes into the checksum.
bool decode_one(DECODER* dec, Bytes& out, Bytes& in, bool in_place, uint64_t& checksum) {
    int used = static_cast<int>(in.size());
    if (!in_place) {
        if (decoder_decode(dec, out.data(), in.data(), &used) != 0)
            return false;
        checksum += out[size_t(dec->width) * dec->height / 2];
        return true;
    }
    kestrova::mpeg4::PictureView view;
    if (kestrova::mpeg4::decoder_decode_view(dec, out.data(), in.data(), &used, &view) != 0)
        return false;
    checksum += view.y[(dec->height / 2) * view.luma_stride + dec->width / 2];
    return true;
}

double ours(const std::vector<Bytes>& frames, uint64_t& checksum, bool in_place = true) {
    auto* dec = reinterpret_cast<DECODER*>(decoder_create());
    if (!dec)
        return -1;
    dec->deblocking = 0;
    Bytes out(6 * 1024 * 768);
    decoder_set_output_capacity(dec, static_cast<int>(out.size()));
    std::vector<Bytes> inputs = frames; // the decoder takes writable input
    const double start = cpu_seconds();
    for (Bytes& in : inputs) {
        if (!decode_one(dec, out, in, in_place, checksum)) {
            std::fprintf(stderr, "decode failed\n");
            decoder_destroy(dec);
            return -1;
        }
    }
    const double s = cpu_seconds() - start;
    decoder_destroy(dec);
    return s;
}

double reference(const std::vector<Bytes>& frames, uint64_t& checksum) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG4);
    AVCodecContext* ctx = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!ctx)
        return -1;
    ctx->thread_count = 1;
    if (avcodec_open2(ctx, codec, nullptr) < 0)
        return -1;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<Bytes> padded;
    for (const Bytes& f : frames) {
        Bytes p = f;
        p.resize(f.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        padded.push_back(std::move(p));
    }
    const double start = cpu_seconds();
    for (size_t i = 0; i < frames.size(); ++i) {
        pkt->data = padded[i].data();
        pkt->size = static_cast<int>(frames[i].size());
        if (avcodec_send_packet(ctx, pkt) < 0)
            break;
        while (avcodec_receive_frame(ctx, frame) == 0)
            checksum += frame->data[0][0];
    }
    avcodec_send_packet(ctx, nullptr);
    while (avcodec_receive_frame(ctx, frame) == 0)
        checksum += frame->data[0][0];
    const double s = cpu_seconds() - start;
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    return s;
}

// True when the frame holds an I picture (the coding type after the VOP
// start code is 0).
bool is_key_picture(const Bytes& frame) {
    const long vop = t::find_start_code(frame, 0xB6);
    return vop >= 0 && size_t(vop) + 4 < frame.size() && (frame[size_t(vop) + 4] >> 6) == 0;
}

// Processor time of decoding every key picture of the clip `rounds` times
// in place, with deblocking on or off. Key pictures are what a decoder starts on, and
// only the first picture after a start is deblocked.
double key_pictures(const std::vector<Bytes>& frames, bool deblocking, int rounds) {
    auto* dec = reinterpret_cast<DECODER*>(decoder_create());
    if (!dec)
        return -1;
    Bytes out(6 * 1024 * 768);
    decoder_set_output_capacity(dec, static_cast<int>(out.size()));
    std::vector<Bytes> keys;
    for (const Bytes& f : frames)
        if (is_key_picture(f))
            keys.push_back(f);
    Bytes first = frames.front(); // carries the layer header
    int used = static_cast<int>(first.size());
    dec->deblocking = deblocking ? 1 : 0;
    double s = -1;
    if (!keys.empty() && decoder_decode(dec, out.data(), first.data(), &used) == 0) {
        const double start = cpu_seconds();
        bool ok = true;
        uint64_t sum = 0;
        for (int r = 0; r < rounds && ok; ++r)
            for (Bytes& in : keys)
                ok = ok && decode_one(dec, out, in, /*in_place=*/true, sum);
        s = ok ? cpu_seconds() - start : -1;
    }
    decoder_destroy(dec);
    return s;
}

#ifdef KESTROVA_HAVE_XVID
// Xvid's own decoder, returning pointers into its own buffers (like
// libavcodec), one thread, no post-processing.
double xvid_reference(const std::vector<Bytes>& frames, uint64_t& checksum) {
    xvid_gbl_init_t init{};
    init.version = XVID_VERSION;
    xvid_global(nullptr, XVID_GBL_INIT, &init, nullptr);
    xvid_dec_create_t create{};
    create.version = XVID_VERSION;
    create.num_threads = 1;
    if (xvid_decore(nullptr, XVID_DEC_CREATE, &create, nullptr) != 0)
        return -1;
    std::vector<Bytes> inputs = frames;
    const double start = cpu_seconds();
    for (Bytes& in : inputs) {
        uint8_t* data = in.data();
        int left = static_cast<int>(in.size());
        while (left > 0) {
            xvid_dec_frame_t frame{};
            frame.version = XVID_VERSION;
            frame.bitstream = data;
            frame.length = left;
            frame.output.csp = XVID_CSP_INTERNAL;
            xvid_dec_stats_t stats{};
            stats.version = XVID_VERSION;
            const int used = xvid_decore(create.handle, XVID_DEC_DECODE, &frame, &stats);
            if (used <= 0)
                break;
            data += used;
            left -= used;
            if (stats.type > 0 && frame.output.plane[0] != nullptr)
                checksum += *static_cast<const uint8_t*>(frame.output.plane[0]);
            if (stats.type != XVID_TYPE_VOL)
                break;
        }
    }
    const double s = cpu_seconds() - start;
    xvid_decore(create.handle, XVID_DEC_DESTROY, nullptr, nullptr);
    return s;
}
#endif

} // namespace

int main(int argc, char** argv) {
    const int pictures = argc > 1 ? std::atoi(argv[1]) : 600;
    const int qscale = argc > 2 ? std::atoi(argv[2]) : 5;
    int width = 640, height = 480;
    if (argc > 3 &&
        (std::sscanf(argv[3], "%dx%d", &width, &height) != 2 || width < 16 || height < 16 ||
         width > 1024 || height > 768 || width % 16 != 0 || height % 16 != 0)) {
        std::fprintf(stderr, "size must be WxH, multiples of 16, at most 1024x768\n");
        return 2;
    }
    if (pictures < 1) {
        std::fprintf(stderr, "pictures must be at least 1\n");
        return 2;
    }
    const std::string encoder = argc > 4 ? argv[4] : "mpeg4";
    if (encoder != "mpeg4" && encoder != "libxvid") {
        std::fprintf(stderr, "encoder must be mpeg4 or libxvid\n");
        return 2;
    }
    const bool fourVectors = argc > 5 && std::string(argv[5]) == "mv4";
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const std::string dir = t::make_temp_dir();
    const std::string m4v = dir + "/bench.m4v";
    const std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "
                            "'testsrc2=size=" +
                            size + ":rate=25' -frames:v " + std::to_string(pictures) + " -c:v " +
                            encoder + " -qscale:v " + std::to_string(qscale) +
                            (fourVectors ? " -flags +mv4" : "") + " -g 12 -bf 0 -f m4v '" + m4v +
                            "'";
    if (dir.empty() || !t::run(cmd)) {
        std::fprintf(stderr, "could not encode the clip\n");
        return 1;
    }
    const std::vector<Bytes> frames = t::split_pictures(t::read_file(m4v));
    t::run("rm -rf '" + dir + "'");

    uint64_t sum = 0;
    // One warm-up pass each, then the best of three alternating timed passes
    // (the machine is shared; the fastest pass is the least disturbed one).
    ours(frames, sum);
    reference(frames, sum);
    double a = 1e30, b = 1e30, x = 1e30, c = 1e30;
#ifdef KESTROVA_HAVE_XVID
    xvid_reference(frames, sum);
#endif
    for (int pass = 0; pass < 3; ++pass) {
        const double ta = ours(frames, sum);
        const double tb = reference(frames, sum);
        if (ta <= 0 || tb <= 0)
            return 1;
        a = std::min(a, ta);
        const double tc = ours(frames, sum, /*in_place=*/false);
        if (tc > 0)
            c = std::min(c, tc);
        b = std::min(b, tb);
#ifdef KESTROVA_HAVE_XVID
        const double tx = xvid_reference(frames, sum);
        if (tx > 0)
            x = std::min(x, tx);
#endif
    }
    // Deblocking's extra cost on the picture it is used for: key pictures
    // decoded with it on and off, best of seven alternating passes (a few
    // per cent is all it measures, so it needs more passes than the rest).
    double on = 1e30, off = 1e30;
    for (int pass = 0; pass < 7; ++pass) {
        const double t_off = key_pictures(frames, false, 10);
        const double t_on = key_pictures(frames, true, 10);
        if (t_off <= 0 || t_on <= 0)
            return 1;
        off = std::min(off, t_off);
        on = std::min(on, t_on);
    }
    const double fa = double(frames.size()) / a;
    const double fb = double(frames.size()) / b;
    std::printf("pictures: %zu (%s, qscale %d, GOP 12, encoder %s%s)\n", frames.size(),
                size.c_str(), qscale, encoder.c_str(), fourVectors ? ", four vectors" : "");
    std::printf("ours:       %8.1f pictures/s\n", fa);
    if (c < 1e30)
        std::printf("ours, copied out (decoder_decode): %.1f pictures/s\n",
                    double(frames.size()) / c);
    std::printf("libavcodec: %8.1f pictures/s (one thread)\n", fb);
    std::printf("ratio:      %8.2fx\n", fa / fb);
    if (x < 1e30) {
        const double fx = double(frames.size()) / x;
        std::printf("libxvidcore: %7.1f pictures/s (one thread)\n", fx);
        std::printf("xvid ratio: %8.2fx\n", fa / fx);
    }
    std::printf("deblocking: %+.1f %% on a deblocked picture\n", 100.0 * (on / off - 1.0));
    std::printf("(checksum %llu)\n", static_cast<unsigned long long>(sum));
    return 0;
}

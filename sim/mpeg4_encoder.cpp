#include "mpeg4_encoder.h"

#include "mpeg4_camera_form.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace kestrova::sim {

struct Mpeg4Encoder::Impl {
    Mpeg4Settings settings;
    AVCodecContext* ctx = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    ~Impl() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&ctx);
    }
};

Mpeg4Encoder::Mpeg4Encoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Mpeg4Encoder::~Mpeg4Encoder() = default;

std::unique_ptr<Mpeg4Encoder> Mpeg4Encoder::Create(const Mpeg4Settings& s, std::string* error) {
    auto fail = [&](const char* why) {
        if (error)
            *error = why;
        return nullptr;
    };
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    if (!codec)
        return fail("libavcodec has no mpeg4 encoder");
    auto impl = std::make_unique<Impl>();
    impl->settings = s;
    AVCodecContext* c = impl->ctx = avcodec_alloc_context3(codec);
    if (!c)
        return fail("out of memory");
    c->width = s.width;
    c->height = s.height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, s.fps};
    c->framerate = AVRational{s.fps, 1};
    c->gop_size = s.gop;
    c->max_b_frames = 0;
    c->thread_count = 1;
    // The headers travel once in the stream's video format, never in front of frames.
    c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER | AV_CODEC_FLAG_BITEXACT | AV_CODEC_FLAG_QSCALE;
    if (s.fourMv)
        c->flags |= AV_CODEC_FLAG_4MV;
    c->global_quality = FF_QP2LAMBDA * s.quantiser;
    if (avcodec_open2(c, codec, nullptr) < 0)
        return fail("cannot open the mpeg4 encoder");
    impl->frame = av_frame_alloc();
    impl->packet = av_packet_alloc();
    if (!impl->frame || !impl->packet)
        return fail("out of memory");
    impl->frame->format = AV_PIX_FMT_YUV420P;
    impl->frame->width = s.width;
    impl->frame->height = s.height;
    if (av_frame_get_buffer(impl->frame, 0) < 0)
        return fail("out of memory");

    std::unique_ptr<Mpeg4Encoder> enc(new Mpeg4Encoder(std::move(impl)));
    std::span<const uint8_t> extra(c->extradata, static_cast<size_t>(c->extradata_size));
    if (s.cameraForm)
        enc->headers_ = RewriteStreamHeaders(extra, s.width, s.height, s.fps);
    else
        enc->headers_.assign(extra.begin(), extra.end());
    return enc;
}

bool Mpeg4Encoder::Encode(const YuvPicture& pic, int64_t frameNumber, EncodedFrame& out) {
    Impl& m = *impl_;
    if (pic.width != m.settings.width || pic.height != m.settings.height)
        return false;
    if (av_frame_make_writable(m.frame) < 0)
        return false;
    const uint8_t* planes[3] = {pic.y.data(), pic.u.data(), pic.v.data()};
    const int widths[3] = {pic.width, pic.width / 2, pic.width / 2};
    const int heights[3] = {pic.height, pic.height / 2, pic.height / 2};
    for (int p = 0; p < 3; ++p)
        for (int row = 0; row < heights[p]; ++row)
            std::memcpy(m.frame->data[p] + static_cast<ptrdiff_t>(row) * m.frame->linesize[p],
                        planes[p] + static_cast<ptrdiff_t>(row) * widths[p],
                        static_cast<size_t>(widths[p]));
    m.frame->pts = frameNumber;
    m.frame->quality = m.ctx->global_quality;
    m.frame->pict_type = AV_PICTURE_TYPE_NONE;
    if (avcodec_send_frame(m.ctx, m.frame) < 0)
        return false;
    if (avcodec_receive_packet(m.ctx, m.packet) < 0)
        return false;
    std::span<const uint8_t> data(m.packet->data, static_cast<size_t>(m.packet->size));
    if (m.settings.cameraForm)
        out.data = StripToVop(data);
    else
        out.data.assign(data.begin(), data.end());
    out.key = (m.packet->flags & AV_PKT_FLAG_KEY) != 0;
    av_packet_unref(m.packet);
    return true;
}

} // namespace kestrova::sim

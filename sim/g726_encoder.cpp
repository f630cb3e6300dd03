#include "g726_encoder.h"

#include "scene.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
}

namespace kestrova::sim {

struct G726Encoder::Impl {
    AVCodecContext* ctx = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    ~Impl() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&ctx);
    }
};

G726Encoder::G726Encoder(std::unique_ptr<Impl> impl, int bits, int frameSamples)
    : impl_(std::move(impl)), bits_(bits), frameSamples_(frameSamples) {}
G726Encoder::~G726Encoder() = default;

std::unique_ptr<G726Encoder> G726Encoder::Create(int bits, int frameSamples, std::string* error) {
    auto fail = [&](const char* why) {
        if (error)
            *error = why;
        return nullptr;
    };
    if (bits < 2 || bits > 5)
        return fail("G.726 code size must be 2 to 5 bits");
    if (frameSamples <= 0 || frameSamples % 8 != 0)
        return fail("audio frames must hold a positive multiple of 8 samples");
    const AVCodec* codec = avcodec_find_encoder_by_name("g726");
    if (!codec)
        return fail("libavcodec has no g726 encoder");
    auto impl = std::make_unique<Impl>();
    AVCodecContext* c = impl->ctx = avcodec_alloc_context3(codec);
    if (!c)
        return fail("out of memory");
    c->sample_rate = 8000;
    c->sample_fmt = AV_SAMPLE_FMT_S16;
    c->bit_rate = bits * 8000; // selects the code size
    av_channel_layout_default(&c->ch_layout, 1);
    if (avcodec_open2(c, codec, nullptr) < 0)
        return fail("cannot open the g726 encoder");
    impl->frame = av_frame_alloc();
    impl->packet = av_packet_alloc();
    if (!impl->frame || !impl->packet)
        return fail("out of memory");
    impl->frame->format = AV_SAMPLE_FMT_S16;
    impl->frame->sample_rate = 8000;
    impl->frame->nb_samples = c->frame_size;
    av_channel_layout_copy(&impl->frame->ch_layout, &c->ch_layout);
    if (av_frame_get_buffer(impl->frame, 0) < 0)
        return fail("out of memory");
    return std::unique_ptr<G726Encoder>(new G726Encoder(std::move(impl), bits, frameSamples));
}

bool G726Encoder::EncodeMore() {
    Impl& m = *impl_;
    if (av_frame_make_writable(m.frame) < 0)
        return false;
    auto* samples = reinterpret_cast<int16_t*>(m.frame->data[0]);
    for (int i = 0; i < m.frame->nb_samples; ++i)
        samples[i] = AudioSample(sample_ + i);
    m.frame->pts = sample_;
    sample_ += m.frame->nb_samples;
    if (avcodec_send_frame(m.ctx, m.frame) < 0)
        return false;
    while (avcodec_receive_packet(m.ctx, m.packet) == 0) {
        coded_.insert(coded_.end(), m.packet->data, m.packet->data + m.packet->size);
        av_packet_unref(m.packet);
    }
    return true;
}

bool G726Encoder::NextFrame(std::vector<uint8_t>& out) {
    const size_t need = static_cast<size_t>(FrameBytes());
    while (coded_.size() < need)
        if (!EncodeMore())
            return false;
    out.assign(coded_.begin(), coded_.begin() + static_cast<ptrdiff_t>(need));
    coded_.erase(coded_.begin(), coded_.begin() + static_cast<ptrdiff_t>(need));
    return true;
}

} // namespace kestrova::sim

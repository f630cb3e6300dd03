#include "g726/ffmpeg_g726.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

namespace kestrova::g726::testing {
namespace {

struct CodecContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using Frame = std::unique_ptr<AVFrame, FrameDeleter>;
using Packet = std::unique_ptr<AVPacket, PacketDeleter>;

CodecContext openCodec(bool encoder, int bits) {
    const AVCodec* codec = encoder ? avcodec_find_encoder(AV_CODEC_ID_ADPCM_G726)
                                   : avcodec_find_decoder(AV_CODEC_ID_ADPCM_G726);
    if (codec == nullptr) {
        throw std::runtime_error("libavcodec has no g726 codec");
    }
    CodecContext ctx(avcodec_alloc_context3(codec));
    ctx->sample_rate = 8000;
    av_channel_layout_default(&ctx->ch_layout, 1);
    ctx->sample_fmt = AV_SAMPLE_FMT_S16;
    ctx->bit_rate = 8000 * bits;
    ctx->bits_per_coded_sample = bits;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) {
        throw std::runtime_error("cannot open g726 codec");
    }
    return ctx;
}

void drainPackets(AVCodecContext* ctx, AVPacket* pkt, std::vector<uint8_t>& out) {
    while (avcodec_receive_packet(ctx, pkt) == 0) {
        out.insert(out.end(), pkt->data, pkt->data + pkt->size);
        av_packet_unref(pkt);
    }
}

void drainFrames(AVCodecContext* ctx, AVFrame* frame, std::vector<int16_t>& out) {
    while (avcodec_receive_frame(ctx, frame) == 0) {
        const auto* s = reinterpret_cast<const int16_t*>(frame->data[0]);
        out.insert(out.end(), s, s + frame->nb_samples);
        av_frame_unref(frame);
    }
}

} // namespace

std::vector<uint8_t> ffmpegEncode(const std::vector<int16_t>& pcm, int bits) {
    CodecContext ctx = openCodec(true, bits);
    const int frameSize = ctx->frame_size;
    Frame frame(av_frame_alloc());
    Packet pkt(av_packet_alloc());
    std::vector<uint8_t> out;
    for (size_t pos = 0; pos < pcm.size(); pos += frameSize) {
        frame->nb_samples = frameSize;
        frame->format = AV_SAMPLE_FMT_S16;
        frame->sample_rate = 8000;
        av_channel_layout_default(&frame->ch_layout, 1);
        if (av_frame_get_buffer(frame.get(), 0) < 0) {
            throw std::runtime_error("frame buffer");
        }
        auto* dst = reinterpret_cast<int16_t*>(frame->data[0]);
        const size_t n = std::min<size_t>(frameSize, pcm.size() - pos);
        std::memcpy(dst, pcm.data() + pos, n * sizeof(int16_t));
        std::fill(dst + n, dst + frameSize, int16_t{0});
        if (avcodec_send_frame(ctx.get(), frame.get()) < 0) {
            throw std::runtime_error("encode");
        }
        av_frame_unref(frame.get());
        drainPackets(ctx.get(), pkt.get(), out);
    }
    avcodec_send_frame(ctx.get(), nullptr);
    drainPackets(ctx.get(), pkt.get(), out);
    return out;
}

std::vector<int16_t> ffmpegDecode(const std::vector<uint8_t>& stream, int bits) {
    CodecContext ctx = openCodec(false, bits);
    Frame frame(av_frame_alloc());
    Packet pkt(av_packet_alloc());
    std::vector<int16_t> out;
    // Chunks of 100 * bits bytes end on code word boundaries.
    const size_t chunk = 100 * static_cast<size_t>(bits);
    for (size_t pos = 0; pos < stream.size(); pos += chunk) {
        const size_t n = std::min(chunk, stream.size() - pos);
        if (av_new_packet(pkt.get(), static_cast<int>(n)) < 0) {
            throw std::runtime_error("packet");
        }
        std::memcpy(pkt->data, stream.data() + pos, n);
        if (avcodec_send_packet(ctx.get(), pkt.get()) < 0) {
            throw std::runtime_error("decode");
        }
        av_packet_unref(pkt.get());
        drainFrames(ctx.get(), frame.get(), out);
    }
    avcodec_send_packet(ctx.get(), nullptr);
    drainFrames(ctx.get(), frame.get(), out);
    return out;
}

} // namespace kestrova::g726::testing

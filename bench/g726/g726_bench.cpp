// Our G.726 decoder (with its output filter) against FFmpeg's g726 decoder
// on the same 10 minutes of 32 kbit/s audio, in samples per second. Both
// take the stream in 4000-byte frames (a second of sound); best of three
// rounds each.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include "codec/g726/g726.h"
#include "g726/ffmpeg_g726.h"

namespace {

// Processor time of this (single-threaded) process: on a shared machine,
// time spent descheduled would otherwise count against whichever side
// happened to be running.
double cpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}
constexpr int kBits = 4;
constexpr size_t kFrameBytes = 4000;

std::vector<int16_t> tenMinutesOfAudio() {
    constexpr size_t n = 10 * 60 * 8000;
    std::vector<int16_t> pcm(n);
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0.0, 600.0);
    for (size_t i = 0; i < n; ++i) {
        const double t = i / 8000.0;
        const double env = 0.5 + 0.5 * std::sin(2 * M_PI * 3.0 * t);
        const double v =
            6000 * env * (std::sin(2 * M_PI * 220 * t) + 0.5 * std::sin(2 * M_PI * 660 * t)) +
            noise(rng);
        pcm[i] = static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
    }
    return pcm;
}

double ours(const std::vector<uint8_t>& stream, size_t& samples) {
    int* state = G726_decoder_create();
    std::vector<short> out(8 * kFrameBytes + 8);
    std::vector<unsigned char> data(stream.begin(), stream.end());
    samples = 0;
    const double start = cpuSeconds();
    for (size_t pos = 0; pos < data.size(); pos += kFrameBytes) {
        const size_t n = std::min(kFrameBytes, data.size() - pos);
        samples += G726_dec(state, kBits, data.data() + pos, static_cast<int>(n), out.data());
    }
    const double seconds = cpuSeconds() - start;
    G726_decoder_destroy(state);
    return seconds;
}

double ffmpeg(const std::vector<uint8_t>& stream, size_t& samples) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_ADPCM_G726);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->sample_rate = 8000;
    av_channel_layout_default(&ctx->ch_layout, 1);
    ctx->bits_per_coded_sample = kBits;
    avcodec_open2(ctx, codec, nullptr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    samples = 0;
    const double start = cpuSeconds();
    for (size_t pos = 0; pos < stream.size(); pos += kFrameBytes) {
        const size_t n = std::min(kFrameBytes, stream.size() - pos);
        av_new_packet(pkt, static_cast<int>(n));
        std::memcpy(pkt->data, stream.data() + pos, n);
        avcodec_send_packet(ctx, pkt);
        av_packet_unref(pkt);
        while (avcodec_receive_frame(ctx, frame) == 0) {
            samples += frame->nb_samples;
            av_frame_unref(frame);
        }
    }
    const double seconds = cpuSeconds() - start;
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    return seconds;
}

} // namespace

int main() {
    const std::vector<uint8_t> stream =
        kestrova::g726::testing::ffmpegEncode(tenMinutesOfAudio(), kBits);
    size_t oursSamples = 0;
    size_t ffmpegSamples = 0;
    // The machine is shared: the two sides take turns and keep their best.
    double oursSeconds = 1e9;
    double ffmpegSeconds = 1e9;
    for (int round = 0; round < 3; ++round) {
        oursSeconds = std::min(oursSeconds, ours(stream, oursSamples));
        ffmpegSeconds = std::min(ffmpegSeconds, ffmpeg(stream, ffmpegSamples));
    }
    const double oursRate = oursSamples / oursSeconds;
    const double ffmpegRate = ffmpegSamples / ffmpegSeconds;
    std::printf("%zu bytes, 32 kbit/s\n", stream.size());
    std::printf("ours   %zu samples in %.3f s CPU: %.1f Msamples/s\n", oursSamples, oursSeconds,
                oursRate / 1e6);
    std::printf("FFmpeg %zu samples in %.3f s CPU: %.1f Msamples/s\n", ffmpegSamples, ffmpegSeconds,
                ffmpegRate / 1e6);
    std::printf("ratio %.2fx\n", oursRate / ffmpegRate);
    return 0;
}

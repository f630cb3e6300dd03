// Stream engine figures at 640x480 and 30 frames per second, for the ASF (MPEG-4) and the
// Motion-JPEG stream of the simulated camera:
//  - camera-to-picture delay: from the camera writing a frame's last byte to its socket
//    to the picture composed into the viewer's display surface (through HTTP, the reader
//    thread, the session's parser and queue, the display path's decoding and colour
//    conversion, and the viewer's frame composer), median and 99th percentile;
//  - processor time of one stream, as a share of one processor;
//  - parser throughput over the recorded stream, from memory.
// The camera is the simulator's stream recorded once and replayed at its recorded pace
// by a child process, so neither its encoders nor its sending count in this process.
//
//   stream_bench [seconds]
#include "stream/asf_feeder.h"
#include "stream/asf_parser.h"
#include "stream/mjpeg_parser.h"
#include "viewers/frame_schedule.h"
#include "viewers/replay_camera.h"
#include "viewers/viewer_pipeline.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <thread>
#include <unordered_map>

using namespace kestrova::stream;
using namespace kestrova::bench;

namespace {

constexpr double kWarmUpSeconds = 1.5;

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct NullAsfHost : AsfParserHost {
    bool StartVideo(int, int, std::span<const uint8_t>) override { return true; }
    bool OpenAudio(int, uint32_t) override { return true; }
    int PacingValue() const override { return 1 << 20; }
};
struct NullMjpegHost : MJpegParserHost {
    void StartVideo(int, int) override {}
    bool OpenAudio(int, uint32_t) override { return true; }
};

struct LiveResult {
    double cpuShare = 0;
    double medianMs = 0, p99Ms = 0;
    std::size_t frames = 0, lost = 0;
};

LiveResult Live(const ReplayCamera& camera, int pathIndex, StreamKind kind, int slot,
                double seconds) {
    const FrameSchedule schedule(camera.RecordingOf(pathIndex), kind);
    ViewerPipeline viewer(kind);
    viewer.Start(camera.UrlFor(pathIndex, slot), "admin", "admin");
    std::this_thread::sleep_for(std::chrono::duration<double>(kWarmUpSeconds));
    const int64_t t0 = NowNs();
    const double cpu0 = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const int64_t t1 = NowNs();
    const double cpu1 = CpuSeconds();
    viewer.Stop();

    const std::vector<int64_t> sent = camera.SendTimes(slot);
    std::unordered_map<uint32_t, int64_t> composed;
    for (const Composed& c : viewer.ComposedPictures())
        composed.emplace(c.timestamp, c.atNs);
    LiveResult r;
    std::vector<double> delays;
    for (const auto& [ts, at] : composed) {
        const int64_t s = schedule.SentAt(ts, sent);
        if (at >= t0 && at <= t1 && s >= 0)
            delays.push_back(static_cast<double>(at - s) / 1e6);
    }
    for (uint32_t ts : schedule.SentBetween(t0, t1 - 500'000'000, sent))
        r.lost += composed.count(ts) ? 0 : 1;
    std::sort(delays.begin(), delays.end());
    r.frames = delays.size();
    if (!delays.empty()) {
        r.medianMs = delays[delays.size() / 2];
        r.p99Ms = delays[std::min(delays.size() - 1, delays.size() * 99 / 100)];
    }
    r.cpuShare = (cpu1 - cpu0) / (static_cast<double>(t1 - t0) / 1e9);
    return r;
}

// Best of three rounds of two seconds: the machine may be shared.
void ParserThroughput(std::span<const uint8_t> stream, StreamKind kind) {
    StreamProfile profile = StreamProfile::Viewer();
    profile.mjpegVideoLimit = std::size_t{1} << 30;
    CFrameChain v, a;
    NullAsfHost ah;
    NullMjpegHost mh;
    double best = 0, bestFrames = 0;
    for (int round = 0; round < 3; ++round) {
        std::size_t bytes = 0, frames = 0;
        const auto t0 = std::chrono::steady_clock::now();
        double elapsed = 0;
        while (elapsed < 2.0) {
            CAsfParser ap(profile, v, a, ah);
            CMJpegParser mp(profile, v, a, mh);
            AsfChunkFeeder feeder(ap);
            ap.Reset();
            mp.Reset();
            // 2048-byte reads, as the sessions read.
            for (std::size_t at = 0; at < stream.size(); at += 2048) {
                const auto chunk =
                    stream.subspan(at, std::min<std::size_t>(2048, stream.size() - at));
                if (kind == StreamKind::Asf)
                    feeder.Push(chunk);
                else
                    mp.ParseChunk(chunk);
                while (v.Pop())
                    ++frames;
                a.Clear();
            }
            bytes += stream.size();
            elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        }
        if (bytes / elapsed > best) {
            best = bytes / elapsed;
            bestFrames = frames / elapsed;
        }
    }
    std::printf("%s parser: %.0f MB/s, %.0f frames/s (stream of %zu bytes)\n",
                kind == StreamKind::Asf ? "ASF" : "MJPEG", best / 1e6, bestFrames, stream.size());
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::max(2.0, std::atof(argv[1])) : 10.0;
    const std::vector<int> cpus = AllowedCpus();
    ReplayOptions o = Replay640x480At30({"img/video.asf", "img/mjpeg.cgi"},
                                        static_cast<int>(seconds + kWarmUpSeconds) + 3);
    o.cpu = cpus.size() > 1 ? cpus.back() : -1;
    ReplayCamera camera;
    std::string error;
    if (!camera.Start(o, &error)) {
        std::fprintf(stderr, "stream_bench: %s\n", error.c_str());
        return 1;
    }
    const StreamKind kinds[] = {StreamKind::Asf, StreamKind::Mjpeg};
    for (int i = 0; i < 2; ++i) {
        const LiveResult r = Live(camera, i, kinds[i], i, seconds);
        std::printf("%s live 640x480@30: %zu frames timed, %zu lost, CPU %.3f s per s of video, "
                    "delay median %.2f ms, p99 %.2f ms\n",
                    i == 0 ? "ASF" : "MJPEG", r.frames, r.lost, r.cpuShare, r.medianMs, r.p99Ms);
        std::fflush(stdout);
    }
    for (int i = 0; i < 2; ++i) {
        const Recording& rec = camera.RecordingOf(i);
        ParserThroughput(rec.bytes.subspan(rec.bodyStart), kinds[i]);
    }
    return 0;
}

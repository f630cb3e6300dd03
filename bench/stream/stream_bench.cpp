// Stream engine figures: parser throughput from memory, then live end-to-end delay and CPU.
#include "sim/camera_simulator.h"
#include "stream/asf_feeder.h"
#include "stream/asf_parser.h"
#include "stream/asf_session.h"
#include "stream/jpeg_display.h"
#include "stream/mjpeg_parser.h"
#include "stream/mjpeg_session.h"
#include "stream/mpeg4_display.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace kestrova::stream;
using Clock = std::chrono::steady_clock;

static double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
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

// Wraps the HTTP source: copies every byte read (for the recordings) and runs a tap parser
// over it that notes when each frame's last byte reached the engine.
struct TapSource : StreamSource {
    std::shared_ptr<StreamSource> inner = MakeHttpStreamSource();
    bool asf;
    std::mutex m;
    std::vector<uint8_t> bytes;
    std::map<uint32_t, Clock::time_point> arrived; // timestamp -> time
    StreamProfile profile = StreamProfile::Viewer();
    CFrameChain v, a;
    NullAsfHost ah;
    NullMjpegHost mh;
    CAsfParser ap{profile, v, a, ah};
    AsfChunkFeeder feeder{ap};
    CMJpegParser mp{profile, v, a, mh};
    explicit TapSource(bool isAsf) : asf(isAsf) {
        ap.Reset();
        mp.Reset();
        profile.mjpegVideoLimit = 1 << 20;
    }
    void Tap(std::span<uint8_t> b, long n) {
        if (n <= 0)
            return;
        const auto now = Clock::now();
        std::lock_guard l(m);
        bytes.insert(bytes.end(), b.begin(), b.begin() + n);
        if (asf)
            feeder.Push(b.first(n));
        else
            mp.ParseChunk(b.first(n));
        while (auto f = v.Pop())
            arrived.emplace(f->timestamp, now);
    }
    bool Open(const std::string& u, const std::string& us, const std::string& p) override {
        return inner->Open(u, us, p);
    }
    long Read(std::span<uint8_t> b) override {
        long n = inner->Read(b);
        Tap(b, n);
        return n;
    }
    long ReadSome(std::span<uint8_t> b) override {
        long n = inner->ReadSome(b);
        Tap(b, n);
        return n;
    }
    void Abort() override { inner->Abort(); }
    void Close() override { inner->Close(); }
};

struct TimingWindow : StreamWindow {
    std::mutex m;
    std::vector<std::pair<uint32_t, Clock::time_point>> draws;
    void PostStreamMessage(uint32_t, uintptr_t, intptr_t) override {}
    void DrawPicture(const VideoPicture& p) override {
        std::lock_guard l(m);
        draws.emplace_back(p.timestamp, Clock::now());
    }
};

struct NoAudio : IAudioOutput {
    bool Open(int, uint32_t) override { return false; }
    bool StartThread() override { return false; }
    bool StopThread(uint32_t) override { return true; }
    bool IsOpen() const override { return false; }
    void Close() override {}
};

struct LiveResult {
    std::vector<uint8_t> recording;
    double cpuPerVideoSecond = 0;
    double medianMs = 0, p99Ms = 0;
    std::size_t frames = 0;
};

static LiveResult Live(const std::string& base, bool asf, int seconds) {
    TimingWindow window;
    CJpegDisplay jpeg(window);
    CMpeg4Display mpeg4(window);
    NoAudio audio;
    auto tap = std::make_shared<TapSource>(asf);
    std::unique_ptr<CStreamSession> session;
    if (asf)
        session = std::make_unique<CAsfSession>(window);
    else
        session = std::make_unique<CMJpegSession>(window);
    session->SetDisplay(asf ? static_cast<IVideoPath*>(&mpeg4) : &jpeg);
    session->SetAudio(&audio);
    session->SetSourceFactory([tap] { return tap; });
    session->SetTarget(base + (asf ? "img/video.asf" : "img/mjpeg.cgi"), "admin", "admin");
    const double cpu0 = CpuSeconds();
    session->Start();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu1 = CpuSeconds();
    session->StopThread(70000);
    LiveResult r;
    std::vector<double> delays;
    {
        std::lock_guard l1(window.m);
        std::lock_guard l2(tap->m);
        for (auto& [ts, t] : window.draws) {
            auto it = tap->arrived.find(ts);
            if (it != tap->arrived.end())
                delays.push_back(std::chrono::duration<double, std::milli>(t - it->second).count());
        }
        r.recording = tap->bytes;
    }
    std::sort(delays.begin(), delays.end());
    r.frames = delays.size();
    if (!delays.empty()) {
        r.medianMs = delays[delays.size() / 2];
        r.p99Ms = delays[std::min(delays.size() - 1, delays.size() * 99 / 100)];
    }
    r.cpuPerVideoSecond = (cpu1 - cpu0) / seconds;
    return r;
}

static void ParserThroughput(const std::vector<uint8_t>& stream, bool asf) {
    StreamProfile profile = StreamProfile::Viewer();
    CFrameChain v, a;
    NullAsfHost ah;
    NullMjpegHost mh;
    std::size_t bytes = 0, frames = 0;
    const auto t0 = Clock::now();
    double elapsed = 0;
    while (elapsed < 2.0) {
        if (asf) {
            CAsfParser p(profile, v, a, ah);
            p.Reset();
            AsfChunkFeeder f(p);
            // Whole packets as the session hands them over (exact reads).
            for (std::size_t at = 0; at < stream.size(); at += 2048) {
                f.Push(
                    std::span(stream).subspan(at, std::min<std::size_t>(2048, stream.size() - at)));
                while (v.Pop())
                    ++frames;
                a.Clear();
            }
        } else {
            CMJpegParser p(profile, v, a, mh);
            p.Reset();
            for (std::size_t at = 0; at < stream.size(); at += 2048) {
                p.ParseChunk(
                    std::span(stream).subspan(at, std::min<std::size_t>(2048, stream.size() - at)));
                while (v.Pop())
                    ++frames;
                a.Clear();
            }
        }
        bytes += stream.size();
        elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
    }
    std::printf("%s parser: %.0f MB/s, %.0f frames/s (stream of %zu bytes)\n",
                asf ? "ASF" : "MJPEG", bytes / elapsed / 1e6, frames / elapsed, stream.size());
}

int main(int argc, char** argv) {
    std::string base = argc > 1 ? argv[1] : "";
    std::unique_ptr<kestrova::sim::CameraSimulator> camera;
    if (base.empty()) {
        kestrova::sim::SimOptions o;
        o.width = 640;
        o.height = 480;
        o.fps = 30;
        camera = std::make_unique<kestrova::sim::CameraSimulator>(o);
        camera->Start();
        base = camera->BaseUrl();
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    for (bool asf : {true, false}) {
        LiveResult r = Live(base, asf, seconds);
        std::printf("%s live 640x480@30: %zu frames timed, CPU %.3f s per s of video, delay median "
                    "%.2f ms, "
                    "p99 %.2f ms\n",
                    asf ? "ASF" : "MJPEG", r.frames, r.cpuPerVideoSecond, r.medianMs, r.p99Ms);
        ParserThroughput(r.recording, asf);
    }
}

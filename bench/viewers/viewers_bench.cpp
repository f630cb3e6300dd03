// How many simultaneous 640x480 30 fps MPEG-4 viewers one processor sustains.
//
// The simulated camera's ASF stream is recorded once in a child process, which then
// replays it from memory over loopback HTTP to every viewer at the recorded pace, from a
// processor of its own. This process is pinned to one processor and runs N complete
// viewer pipelines (session, reader, MPEG-4 display path with decoding and colour
// conversion, the viewer's composition into its display surface). A step of N holds
// when every viewer composes at least 29.5 pictures/s, loses no frame and shows its
// pictures with a median delay under 100 ms; the search starts from a guess made on the
// processor time of one viewer.
//
//   viewers_bench [window-seconds] [most-viewers]
#include "viewers/frame_schedule.h"
#include "viewers/replay_camera.h"
#include "viewers/viewer_count.h"
#include "viewers/viewer_pipeline.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <thread>
#include <unordered_map>

using namespace kestrova::bench;

namespace {

constexpr double kWarmUpSeconds = 2.0;
constexpr int64_t kGraceNs = 500'000'000; // a frame may still be on its way this long

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

struct Step {
    StepVerdict verdict;
    double coreBusy = 0; // share of the processor this process used in the window
    double medianMs = 0, p99Ms = 0;
};

class Bench {
public:
    Bench(ReplayCamera& camera, const FrameSchedule& schedule, double windowSeconds)
        : camera_(camera), schedule_(schedule), window_(windowSeconds) {}

    Step Run(int n) {
        std::vector<std::unique_ptr<ViewerPipeline>> viewers;
        std::vector<int> slotIds;
        for (int i = 0; i < n; ++i) {
            const int slot = nextSlot_++ % ReplayCamera::kMaxConnections;
            auto v = std::make_unique<ViewerPipeline>(StreamKind::Asf);
            v->Start(camera_.UrlFor(0, slot), "admin", "admin");
            viewers.push_back(std::move(v));
            slotIds.push_back(slot);
        }
        Sleep(kWarmUpSeconds);
        const int64_t t0 = NowNs();
        const double cpu0 = CpuSeconds();
        Sleep(window_);
        const int64_t t1 = NowNs();
        const double cpu1 = CpuSeconds();
        std::vector<bool> ended;
        for (auto& v : viewers)
            ended.push_back(v->EndedCount() > 0);
        for (auto& v : viewers)
            v->RequestStop(); // all stop sequences run side by side
        for (auto& v : viewers)
            v->Stop();

        std::vector<ViewerWindow> windows;
        std::vector<double> delays;
        for (int i = 0; i < n; ++i) {
            ViewerWindow w = MeasureWindow(Timings(*viewers[i], slotIds[i]), t0, t1, kGraceNs);
            w.ended = ended[i];
            delays.insert(delays.end(), w.delayMs.begin(), w.delayMs.end());
            windows.push_back(std::move(w));
        }
        Step s;
        s.verdict = Judge(windows, StepLimits{});
        s.coreBusy = (cpu1 - cpu0) / (static_cast<double>(t1 - t0) / 1e9);
        s.medianMs = Percentile(delays, 0.5);
        s.p99Ms = Percentile(delays, 0.99);
        return s;
    }

private:
    static void Sleep(double seconds) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    }

    std::vector<FrameTiming> Timings(const ViewerPipeline& viewer, int slot) const {
        const std::vector<int64_t> sent = camera_.SendTimes(slot);
        std::unordered_map<uint32_t, FrameTiming> byStamp;
        for (uint32_t ts : schedule_.SentBetween(0, INT64_MAX, sent))
            byStamp[ts].sentNs = schedule_.SentAt(ts, sent);
        std::vector<FrameTiming> frames;
        for (const Composed& c : viewer.ComposedPictures()) {
            auto it = byStamp.find(c.timestamp);
            if (it != byStamp.end() && it->second.composedNs < 0)
                it->second.composedNs = c.atNs;
            else
                frames.push_back({-1, c.atNs}); // composed, but not a known frame
        }
        for (const auto& [ts, f] : byStamp)
            frames.push_back(f);
        return frames;
    }

    ReplayCamera& camera_;
    const FrameSchedule& schedule_;
    double window_;
    int nextSlot_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    const double window = argc > 1 ? std::max(2.0, std::atof(argv[1])) : 4.0;
    const int most = argc > 2 ? std::max(1, std::atoi(argv[2])) : 40;

    const std::vector<int> cpus = AllowedCpus();
    ReplayOptions o = Replay640x480At30({"img/video.asf"},
                                        static_cast<int>(std::ceil(kWarmUpSeconds + window)) + 4);
    o.camera.maxStreams = 2;
    o.cpu = cpus.size() > 1 ? cpus.back() : -1;
    ReplayCamera camera;
    std::string error;
    if (!camera.Start(o, &error)) {
        std::fprintf(stderr, "viewers_bench: %s\n", error.c_str());
        return 1;
    }
    const int measured = cpus.empty() ? -1 : cpus.front();
    if (measured < 0 || !PinToCpu(measured)) {
        std::fprintf(stderr, "viewers_bench: cannot pin to one processor\n");
        return 1;
    }
    if (o.cpu < 0)
        std::printf("note: one processor only; the camera replay shares it\n");
    const FrameSchedule schedule(camera.RecordingOf(0), StreamKind::Asf);
    std::printf("recorded %zu frames of 640x480@30 MPEG-4/ASF (%zu bytes); viewers on CPU %d, "
                "camera on CPU %d, window %.1f s\n",
                schedule.Frames(), camera.RecordingOf(0).bytes.size(), measured, o.cpu, window);
    if (schedule.Frames() < 30) {
        std::fprintf(stderr, "viewers_bench: recording holds too few frames\n");
        return 1;
    }

    Bench bench(camera, schedule, window);
    ViewerSearch search(1, most);
    Step heldStep;
    double perViewer = 0;
    while (!search.Done()) {
        const int n = search.Next();
        const Step s = bench.Run(n);
        std::printf("step %2d viewers: %s  min %.2f pictures/s, lost %zu, core busy %.0f %%, "
                    "delay median %.2f ms p99 %.2f ms (worst viewer median %.2f ms)\n",
                    n, s.verdict.holds ? "holds" : "fails", s.verdict.minFps, s.verdict.lost,
                    s.coreBusy * 100, s.medianMs, s.p99Ms, s.verdict.worstMedianDelayMs);
        std::fflush(stdout);
        search.Record(n, s.verdict.holds);
        if (s.verdict.holds && n >= search.Largest())
            heldStep = s;
        if (n == 1 && s.verdict.holds) {
            perViewer = s.coreBusy;
            // One viewer's share predicts the count roughly: idle polling shrinks as the
            // core fills, so the true count tends to lie above it.
            if (perViewer > 0)
                search.SkipTo(static_cast<int>(1.0 / perViewer));
        }
    }
    const int largest = search.Largest();
    std::printf("one viewer uses %.1f %% of the core\n", perViewer * 100);
    std::printf("viewers per core: %d (core busy %.0f %%, delay median %.2f ms p99 %.2f ms, %d "
                "steps)\n",
                largest, heldStep.coreBusy * 100, heldStep.medianMs, heldStep.p99Ms,
                search.Steps());
    return largest > 0 ? 0 : 1;
}

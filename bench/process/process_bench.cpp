// What a viewer costs as a whole program, against FFmpeg decoding the same stream.
//
// A child process records the simulated camera's 640x480 30 fps MPEG-4 + G.726 stream
// once and replays it over loopback HTTP at its recorded pace. Then, one after the other:
//   - the viewer, `kestrova URL --headless --seconds N` (engine, decoding, colour
//     conversion, composing, sound played to the null device);
//   - `ffmpeg -threads 1 -t N -i URL -vf format=bgr24 -f null -` (decoding both streams
//     and converting every picture to 24-bit BGR).
// Each program's cost is taken over a window of steady streaming inside its run, from
// `from` to `to` seconds after it started, out of its threads' own counters: start-up and
// shut-down stay outside, and no difference of two separate runs is needed (such a
// difference swung by half from run to run on a shared machine). The two programs run in
// three alternating rounds; of each, its cheapest window counts, so a burst of other work
// on the machine during one run does not decide the ratio. Last, the viewer shows 16
// cameras on its wall (a window session on a private Xvfb server) for a while: its peak
// memory.
//
//   process_bench [from-seconds] [to-seconds]
#include "process/child_cost.h"
#include "viewers/replay_camera.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace kestrova::bench;

namespace {

constexpr int kWallCameras = 16;
constexpr double kWallSeconds = 12;

// The viewer runs offscreen, and its sound goes to the null device: the sound server
// named here does not exist, so the control falls back to it as it does on a machine
// without sound.
const std::vector<std::string> kViewerEnvironment = {
    "QT_QPA_PLATFORM=offscreen", "PULSE_SERVER=unix:/nonexistent/kestrova-bench"};

// A private X server for the wall, which opens only where there is a display.
class XServer {
public:
    XServer() {
        display_ = 90 + static_cast<int>(getpid() % 500);
        pid_ = fork();
        if (pid_ == 0) {
            const std::string d = ":" + std::to_string(display_);
            execlp("Xvfb", "Xvfb", d.c_str(), "-screen", "0", "1920x1080x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(display_);
        for (int i = 0; pid_ > 0 && i < 100; ++i) {
            struct stat st {};
            if (stat(socket.c_str(), &st) == 0) {
                ready_ = true;
                break;
            }
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    ~XServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool Ready() const { return ready_; }
    std::string Display() const { return "DISPLAY=:" + std::to_string(display_); }

private:
    pid_t pid_ = -1;
    int display_ = 0;
    bool ready_ = false;
};

constexpr int kRounds = 3;

bool Measured(const ChildCost& c) {
    return c.ran && c.exitStatus == 0 && c.windowCpuSeconds >= 0 && c.windowSeconds > 0;
}

// Keeps the cheapest measured window so far (or the first run, measured or not).
void Keep(ChildCost& kept, bool first, const ChildCost& run) {
    if (first ||
        (Measured(run) && (!Measured(kept) || run.windowCpuSeconds / run.windowSeconds <
                                                  kept.windowCpuSeconds / kept.windowSeconds)))
        kept = run;
}

void Report(const char* name, const ChildCost& c) {
    if (!Measured(c)) {
        std::printf("%s: failed (exit %d%s)\n", name, c.exitStatus,
                    c.windowCpuSeconds < 0 ? ", ended before the window closed" : "");
        return;
    }
    std::printf("%s: %.3f s processor over %.1f s (%.2f %% of a core), %.0f voluntary "
                "switches/s, peak %.1f MB\n",
                name, c.windowCpuSeconds, c.windowSeconds,
                c.windowCpuSeconds / c.windowSeconds * 100,
                static_cast<double>(c.windowSwitches) / c.windowSeconds,
                static_cast<double>(c.peakKb) / 1024);
}

double Share(const ChildCost& c) {
    return c.windowCpuSeconds / c.windowSeconds;
}

} // namespace

int main(int argc, char** argv) {
    const int from = argc > 1 ? std::max(2, std::atoi(argv[1])) : 4;
    const int to = argc > 2 ? std::max(from + 5, std::atoi(argv[2])) : 24;
    // Each run streams a little past the window, so it closes while the program streams.
    const int runSeconds = to + 3;
    const CostWindow window{static_cast<double>(from), static_cast<double>(to)};

    // Every run is a connection of its own, replayed from the start of the recording.
    ReplayOptions o = Replay640x480At30({"img/video.asf"}, runSeconds + 8);
    o.camera.maxStreams = 2;
    ReplayCamera camera;
    std::string error;
    if (!camera.Start(o, &error)) {
        std::fprintf(stderr, "process_bench: %s\n", error.c_str());
        return 1;
    }
    std::printf("recorded %d s of 640x480@30 MPEG-4 + G.726 in ASF (%zu bytes)\n", o.recordSeconds,
                camera.RecordingOf(0).bytes.size());
    std::fflush(stdout);

    int slot = 0;
    const auto viewer = [&] {
        return RunChild({KESTROVA_VIEWER_PROGRAM, camera.UrlFor(0, slot++), "--headless",
                         "--seconds", std::to_string(runSeconds)},
                        kViewerEnvironment, 0, runSeconds + 60, window);
    };
    const auto ffmpeg = [&] {
        return RunChild({"ffmpeg", "-nostdin", "-loglevel", "error", "-threads", "1", "-t",
                         std::to_string(runSeconds), "-i", camera.UrlFor(0, slot++), "-vf",
                         "format=bgr24", "-f", "null", "-"},
                        {}, 0, runSeconds + 60, window);
    };
    ChildCost ours, reference;
    for (int round = 0; round < kRounds; ++round) {
        const ChildCost v = viewer();
        const ChildCost f = ffmpeg();
        std::printf("round %d: viewer %.2f %%, ffmpeg %.2f %% of a core\n", round + 1,
                    Measured(v) ? Share(v) * 100 : -1.0, Measured(f) ? Share(f) * 100 : -1.0);
        Keep(ours, round == 0, v);
        Keep(reference, round == 0, f);
    }
    std::printf("cheapest window of %d alternating rounds, %d s to %d s into each run:\n", kRounds,
                from, to);
    Report("viewer", ours);
    Report("ffmpeg -threads 1", reference);
    const bool ok = Measured(ours) && Measured(reference) && reference.windowCpuSeconds > 0;
    if (ok)
        std::printf("ratio: %.2fx of ffmpeg's processor time\n", Share(ours) / Share(reference));
    std::fflush(stdout);

    std::vector<std::string> wall = {KESTROVA_VIEWER_PROGRAM};
    for (int i = 0; i < kWallCameras; ++i)
        wall.push_back(camera.UrlFor(0, slot++));
    const XServer x;
    if (!x.Ready()) {
        std::printf("wall of %d cameras: not measured, no Xvfb server started\n", kWallCameras);
        return ok ? 0 : 1;
    }
    const ChildCost w =
        RunChild(wall, {x.Display(), kViewerEnvironment[1]}, kWallSeconds, kWallSeconds + 30);
    if (w.ran)
        std::printf("wall of %d cameras: peak %.1f MB after %.0f s\n", kWallCameras,
                    static_cast<double>(w.peakKb) / 1024, kWallSeconds);
    else
        std::printf("wall of %d cameras: failed\n", kWallCameras);
    return ok && w.ran ? 0 : 1;
}

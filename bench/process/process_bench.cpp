// What a viewer costs as a whole program, against FFmpeg decoding the same stream.
//
// A child process records the simulated camera's 640x480 30 fps MPEG-4 + G.726 stream
// once and replays it over loopback HTTP at its recorded pace. Then, one after the other:
//   - the viewer, `kestrova URL --headless --seconds N` (engine, decoding, colour
//     conversion, composing, sound played to the null device), for a short and a long N;
//   - `ffmpeg -threads 1 -t N -i URL -vf format=bgr24 -f null -` (decoding both streams
//     and converting every picture to 24-bit BGR), for the same two N.
// The difference between the long and the short run is the cost of that many seconds of
// streaming with start-up and shut-down taken out. The pairs run in three alternating
// rounds; of each program, the cheapest short and the cheapest long run count, so a burst
// of other work on the machine during one run does not decide the ratio. Last, the viewer shows 16
// cameras on its wall (a window session on a private Xvfb server) for a while: its peak memory.
//
//   process_bench [short-seconds] [long-seconds]
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

struct Pair {
    ChildCost shortRun, longRun;
    bool ok() const {
        return shortRun.ran && longRun.ran && shortRun.exitStatus == 0 && longRun.exitStatus == 0;
    }
    double cpu() const { return longRun.cpuSeconds - shortRun.cpuSeconds; }
};

constexpr int kRounds = 3;

// Keeps, for the short and the long run each, the cheapest run so far, or a failed one.
void Keep(ChildCost& kept, bool first, const ChildCost& run) {
    const auto ok = [](const ChildCost& c) { return c.ran && c.exitStatus == 0; };
    if (first || (ok(kept) && (!ok(run) || run.cpuSeconds < kept.cpuSeconds)))
        kept = run;
}

void Report(const char* name, const Pair& p, double seconds) {
    if (!p.ok()) {
        std::printf("%s: failed (exit %d / %d)\n", name, p.shortRun.exitStatus,
                    p.longRun.exitStatus);
        return;
    }
    const double cpu = p.longRun.cpuSeconds - p.shortRun.cpuSeconds;
    const double switches =
        static_cast<double>(p.longRun.voluntarySwitches - p.shortRun.voluntarySwitches) / seconds;
    std::printf("%s: %.2f s processor over %.0f s (%.1f %% of a core), %.0f voluntary "
                "switches/s, peak %.1f MB\n",
                name, cpu, seconds, cpu / seconds * 100, switches,
                static_cast<double>(p.longRun.peakKb) / 1024);
}

} // namespace

int main(int argc, char** argv) {
    const int shortSeconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 4;
    const int longSeconds = argc > 2 ? std::max(shortSeconds + 5, std::atoi(argv[2])) : 24;

    // Every run is a connection of its own, replayed from the start of the recording.
    ReplayOptions o = Replay640x480At30({"img/video.asf"}, longSeconds + 8);
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
    const auto viewer = [&](int seconds) {
        return RunChild({KESTROVA_VIEWER_PROGRAM, camera.UrlFor(0, slot++), "--headless",
                         "--seconds", std::to_string(seconds)},
                        kViewerEnvironment, 0, seconds + 60);
    };
    const auto ffmpeg = [&](int seconds) {
        return RunChild({"ffmpeg", "-nostdin", "-loglevel", "error", "-threads", "1", "-t",
                         std::to_string(seconds), "-i", camera.UrlFor(0, slot++), "-vf",
                         "format=bgr24", "-f", "null", "-"},
                        {}, 0, seconds + 60);
    };
    const double seconds = longSeconds - shortSeconds;
    Pair ours, reference;
    for (int round = 0; round < kRounds; ++round) {
        Keep(ours.shortRun, round == 0, viewer(shortSeconds));
        Keep(ours.longRun, round == 0, viewer(longSeconds));
        Keep(reference.shortRun, round == 0, ffmpeg(shortSeconds));
        Keep(reference.longRun, round == 0, ffmpeg(longSeconds));
    }
    std::printf("cheapest of %d alternating rounds:\n", kRounds);
    Report("viewer", ours, seconds);
    Report("ffmpeg -threads 1", reference, seconds);
    if (ours.ok() && reference.ok() && reference.cpu() > 0)
        std::printf("ratio: %.2fx of ffmpeg's processor time\n", ours.cpu() / reference.cpu());
    std::fflush(stdout);

    std::vector<std::string> wall = {KESTROVA_VIEWER_PROGRAM};
    for (int i = 0; i < kWallCameras; ++i)
        wall.push_back(camera.UrlFor(0, slot++));
    const XServer x;
    if (!x.Ready()) {
        std::printf("wall of %d cameras: not measured, no Xvfb server started\n", kWallCameras);
        return ours.ok() && reference.ok() ? 0 : 1;
    }
    const ChildCost w =
        RunChild(wall, {x.Display(), kViewerEnvironment[1]}, kWallSeconds, kWallSeconds + 30);
    if (w.ran)
        std::printf("wall of %d cameras: peak %.1f MB after %.0f s\n", kWallCameras,
                    static_cast<double>(w.peakKb) / 1024, kWallSeconds);
    else
        std::printf("wall of %d cameras: failed\n", kWallCameras);
    return ours.ok() && reference.ok() && w.ran ? 0 : 1;
}

// A camera for the live benchmarks that costs the measured process nothing: a child
// process records the simulated camera's streams once, then replays the recorded bytes
// over loopback HTTP to any number of connections, each at the pace they were recorded
// at, and notes when it wrote every chunk. The simulator's encoders and the replay run in
// the child, pinned to a processor of their own, so the parent's processor time and
// processor are the engine's alone.
#pragma once

#include "sim/camera_simulator.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kestrova::bench {

struct ReplayOptions {
    sim::SimOptions camera;         // what the simulator streams
    std::vector<std::string> paths; // stream paths to record, e.g. "img/video.asf"
    int recordSeconds = 10;
    int cpu = -1; // processor the child runs on; -1 leaves it free
};

// The camera the benchmarks replay: the simulator's 640x480 picture at 30 fps, `paths`
// recorded for `recordSeconds`.
ReplayOptions Replay640x480At30(std::vector<std::string> paths, int recordSeconds);

// A recorded HTTP answer: the bytes as they arrived and when (nanoseconds after the first).
struct Recording {
    std::span<const uint8_t> bytes;
    struct Chunk {
        uint32_t offset;
        uint32_t length;
        int64_t atNs;
    };
    std::span<const Chunk> chunks;
    std::size_t bodyStart = 0; // first byte after the answer's header
};

class ReplayCamera {
public:
    static constexpr int kMaxPaths = 4;
    static constexpr int kMaxConnections = 256;
    static constexpr int kMaxChunks = 16384;

    ReplayCamera() = default;
    ~ReplayCamera(); // ends the child
    ReplayCamera(const ReplayCamera&) = delete;
    ReplayCamera& operator=(const ReplayCamera&) = delete;

    // Forks the child and waits until it has recorded and listens. Call it before the
    // process starts any thread of its own.
    bool Start(const ReplayOptions& options, std::string* error);
    void Stop();

    std::string BaseUrl() const;
    const Recording& RecordingOf(int pathIndex) const { return recordings_.at(pathIndex); }

    // URL of `path` for connection slot `slot` (0..kMaxConnections-1): the replay logs the
    // chunk write times of that connection under the slot.
    std::string UrlFor(int pathIndex, int slot) const;
    // Steady-clock nanoseconds at which the connection wrote each chunk so far.
    std::vector<int64_t> SendTimes(int slot) const;

    struct Shared; // the memory the child writes and the parent reads

private:
    Shared* shared_ = nullptr;
    std::size_t sharedSize_ = 0;
    pid_t child_ = -1;
    std::vector<std::string> paths_;
    std::vector<Recording> recordings_;
};

// Steady-clock time in nanoseconds; comparable between the parent and the child.
int64_t NowNs();

// Pins the calling thread (and the threads it creates later) to one processor.
bool PinToCpu(int cpu);
// The processors this process may use, lowest first.
std::vector<int> AllowedCpus();

} // namespace kestrova::bench

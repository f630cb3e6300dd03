// Runs a program as a child and reports what it cost: processor time, voluntary context
// switches and peak resident memory, all threads together, as the kernel counted them.
#pragma once

#include <string>
#include <vector>

namespace kestrova::bench {

struct ChildCost {
    bool ran = false;      // started and ended (by itself or by the stop signal)
    int exitStatus = -1;   // exit status, or -1 when a signal ended it
    double cpuSeconds = 0; // user + system
    long voluntarySwitches = 0;
    long peakKb = 0; // peak resident set
    // Over the window asked for, from the child's threads' own counters (processor time
    // in nanoseconds, so short windows are not rounded to clock ticks); -1 when the child
    // ended before the window closed.
    double windowCpuSeconds = -1;
    long windowSwitches = 0;
    double windowSeconds = 0; // the window's length as sampled
};

// From `from` to `to` seconds after the start, while the child runs.
struct CostWindow {
    double from = 0;
    double to = 0;
};

// Runs `argv` with `environment` added to this process's, stdout to /dev/null, stderr
// shared with this program's. After
// `stopAfterSeconds` (when > 0) the child gets SIGTERM, and SIGKILL 10 s later; a child
// that must end by itself is killed after `limitSeconds`. With a `window` (to > from)
// the child's processor time and voluntary switches over it are taken as well.
ChildCost RunChild(const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment, double stopAfterSeconds,
                   double limitSeconds, CostWindow window = {});

} // namespace kestrova::bench

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
};

// Runs `argv` with `environment` added to this process's, stdout to /dev/null, stderr
// shared with this program's. After
// `stopAfterSeconds` (when > 0) the child gets SIGTERM, and SIGKILL 10 s later; a child
// that must end by itself is killed after `limitSeconds`.
ChildCost RunChild(const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment, double stopAfterSeconds,
                   double limitSeconds);

} // namespace kestrova::bench

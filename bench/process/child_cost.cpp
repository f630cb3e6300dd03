#include "process/child_cost.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kestrova::bench {

namespace {

struct ThreadCounters {
    bool ok = false;
    double cpuSeconds = 0;
    long voluntarySwitches = 0;
};

// Sums every live thread's time on a processor (schedstat, nanoseconds) and voluntary
// switches. A thread that ends inside a window takes its share with it; the programs
// measured keep their threads while they stream.
ThreadCounters ReadThreadCounters(pid_t pid) {
    ThreadCounters c;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream sched(task.path() / "schedstat");
        double ns = 0;
        if (sched >> ns)
            c.cpuSeconds += ns / 1e9;
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                c.voluntarySwitches += std::atol(line.c_str() + line.find(':') + 1);
        c.ok = true;
    }
    c.ok = c.ok && !error;
    return c;
}

} // namespace

ChildCost RunChild(const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment, double stopAfterSeconds,
                   double limitSeconds, CostWindow window) {
    ChildCost cost;
    if (argv.empty())
        return cost;
    const pid_t pid = fork();
    if (pid < 0)
        return cost;
    if (pid == 0) {
        for (const std::string& e : environment)
            putenv(const_cast<char*>(e.c_str()));
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1); // what the child says on stderr stays in the benchmark's log
        }
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto since = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    bool termed = false, killed = false;
    int status = 0;
    rusage usage{};
    const bool windowed = window.to > window.from;
    ThreadCounters opened;
    double openedAt = 0;
    for (;;) {
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid)
            break;
        if (done < 0)
            return cost;
        const double t = since();
        if (windowed && !opened.ok && openedAt == 0 && t >= window.from) {
            opened = ReadThreadCounters(pid);
            openedAt = t;
        } else if (windowed && opened.ok && cost.windowCpuSeconds < 0 && t >= window.to) {
            const ThreadCounters closed = ReadThreadCounters(pid);
            if (closed.ok) {
                cost.windowCpuSeconds = closed.cpuSeconds - opened.cpuSeconds;
                cost.windowSwitches = closed.voluntarySwitches - opened.voluntarySwitches;
                cost.windowSeconds = t - openedAt;
            }
        }
        if (!termed && stopAfterSeconds > 0 && t >= stopAfterSeconds) {
            kill(pid, SIGTERM);
            termed = true;
        }
        if (!killed && (t >= limitSeconds || (termed && t >= stopAfterSeconds + 10))) {
            kill(pid, SIGKILL);
            killed = true;
        }
        // The measured child's figures are its own; this parent's wake-ups do not count.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    cost.ran = !killed;
    cost.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    cost.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    cost.voluntarySwitches = usage.ru_nvcsw;
    cost.peakKb = usage.ru_maxrss;
    return cost;
}

} // namespace kestrova::bench

#include "process/child_cost.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kestrova::bench {

ChildCost RunChild(const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment, double stopAfterSeconds,
                   double limitSeconds) {
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
    for (;;) {
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid)
            break;
        if (done < 0)
            return cost;
        const double t = since();
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

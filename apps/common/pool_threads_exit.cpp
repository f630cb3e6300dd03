#include "pool_threads_exit.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace kestrova::host {
namespace {

// The name Qt gives its pool threads (15 characters, so the kernel keeps it whole).
constexpr std::string_view kPoolThreadName = "Thread (pooled)";

bool AnyPoolThreadLeft() {
    const std::string self = std::to_string(gettid());
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        if (task.path().filename() == self)
            continue;
        std::ifstream comm(task.path() / "comm");
        std::string name;
        // A thread that ended while the folder was read has no name to read any more.
        if (std::getline(comm, name) && name == kPoolThreadName)
            return true;
    }
    return false;
}

} // namespace

bool WaitForPoolThreadsToEnd(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (AnyPoolThreadLeft()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace kestrova::host

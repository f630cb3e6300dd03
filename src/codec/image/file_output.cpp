#include "codec/image/file_output.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace kestrova::image {
namespace {

std::atomic<unsigned> g_tempCounter{0};

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    if (path.empty() || !target.has_filename())
        return false;

    // Same folder as the target so that the rename never crosses file systems.
    std::string tempPath;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        fs::path temp = target;
        // A short name of its own, so that a target name near the length
        // limit still leaves room for it.
        temp.replace_filename(".kimg-" + std::to_string(::getpid()) + "-" +
                              std::to_string(g_tempCounter.fetch_add(1)) + ".tmp");
        tempPath = temp.string();
        fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false; // missing folder, no permission, ...
    }
    if (fd < 0)
        return false;

    bool ok = WriteAll(fd, bytes) && ::fdatasync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && std::rename(tempPath.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(tempPath.c_str());
    return ok;
}

} // namespace kestrova::image

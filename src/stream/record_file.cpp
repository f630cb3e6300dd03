#include "stream/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova::stream {

RecordFile CreateRecordFile(const std::string& path) {
    // No truncation and no blocking until the file is known to be regular: a
    // pipe would block the open, and a device must not be written at all.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::ftruncate(fd, 0) != 0 ||
        ::fcntl(fd, F_SETFL, 0) != 0) {
        ::close(fd);
        return nullptr;
    }
    RecordFile file(::fdopen(fd, "wb"));
    if (!file)
        ::close(fd);
    return file;
}

} // namespace kestrova::stream

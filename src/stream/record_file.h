#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace kestrova::stream {

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file)
            std::fclose(file);
    }
};
using RecordFile = std::unique_ptr<std::FILE, FileCloser>;

// Creates (or truncates) the file the received stream is recorded to. The name
// comes from the page, so it is opened without following a symbolic link and
// only when it is, or becomes, a regular file: a link, folder, device or pipe
// under that name is refused and left untouched. Null on refusal or failure.
RecordFile CreateRecordFile(const std::string& path);

} // namespace kestrova::stream

#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>

namespace kestrova::image {

// libjpeg's default error manager prints and calls exit(). This one jumps back to the
// caller's setjmp point instead and keeps warnings quiet; they are only counted.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// Installs the manager into a compress or decompress object's err field.
jpeg_error_mgr* InstallJpegErrorManager(JpegErrorManager& manager);

// Watches a decompress object's progress and jumps back through its error manager once
// the input has passed `maxScans` scans, so a picture of thousands of scans costs no more
// than `maxScans` passes.
struct JpegScanGuard {
    jpeg_progress_mgr pub;
    int maxScans;
    bool tripped;
};

void InstallJpegScanGuard(jpeg_decompress_struct& cinfo, JpegScanGuard& guard, int maxScans);

} // namespace kestrova::image

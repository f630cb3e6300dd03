#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>

namespace kestrova::image {

// libjpeg's default error manager prints and calls exit(). This one jumps back
// to the caller's setjmp point instead and keeps warnings quiet, remembering
// whether the scan data ended before the picture was complete. Other
// corrupt-data warnings are recoverable and only counted.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    bool hitEndOfData;
};

// Installs the manager into a compress or decompress object's err field.
jpeg_error_mgr* InstallJpegErrorManager(JpegErrorManager& manager);

} // namespace kestrova::image

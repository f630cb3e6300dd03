#pragma once

// The file version a module reports through its DllGetFileVersion export (the
// four-part version a module's version resource carries: major.minor.build.revision).
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct KestrovaFileVersion {
    uint16_t major;
    uint16_t minor;
    uint16_t build;
    uint16_t revision;
};

// Fills `version`; 0 on success, 0x80004003 (null pointer) when `version` is null.
typedef int32_t (*GetFileVersionFn)(struct KestrovaFileVersion* version);

#ifdef __cplusplus
}
#endif

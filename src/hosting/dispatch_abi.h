#pragma once

// The dispatch table a module hands out for each control class: plain C data, so a host
// built apart from the module reads it without sharing any C++ type with it. Hosts bind
// page calls by name or by dispatch id through it.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum KestrovaDispatchType {
    KESTROVA_DISP_VOID = 0,
    KESTROVA_DISP_BOOL = 1,   // BOOL
    KESTROVA_DISP_SHORT = 2,  // signed 16-bit
    KESTROVA_DISP_LONG = 3,   // signed 32-bit
    KESTROVA_DISP_STRING = 4, // narrow text
};

struct KestrovaDispatchParam {
    const char* name;
    int32_t type;
};

struct KestrovaDispatchMethod {
    int32_t dispid;
    const char* name;
    int32_t result;
    uint32_t paramCount;
    const struct KestrovaDispatchParam* params;
};

struct KestrovaDispatchTable {
    const char* interfaceName; // e.g. "_DKestrova"
    const char* interfaceId;   // "{...}"
    uint32_t methodCount;
    const struct KestrovaDispatchMethod* methods;
};

#ifdef __cplusplus
}
#endif

#pragma once

// The entry points every control module exports, defined over the module's one
// ModuleServer. A module file includes this once and names the function that returns its
// server.
#include "codec/c_export.h"
#include "hosting/dispatch_abi.h"
#include "hosting/module_server.h"

namespace kestrova::hosting {

// The server of a module that makes one control and its property page; one per
// module (the static belongs to the instantiation).
template <class Control, class Page>
ModuleServer& ControlModuleServer(const ModuleIdentity& identity,
                                  const KestrovaDispatchTable& dispatch, const void* anchor) {
    static ModuleServer server(
        identity,
        {{identity.control.clsid, [](QWidget* parent) -> QObject* { return new Control(parent); },
          &dispatch},
         {identity.propertyPage.clsid, [](QWidget* parent) -> QObject* { return new Page(parent); },
          nullptr}},
        anchor);
    return server;
}

} // namespace kestrova::hosting

#define KESTROVA_DEFINE_MODULE_ENTRIES(serverFn)                                                   \
    KESTROVA_C_EXPORT int32_t DllRegisterServer() {                                                \
        return serverFn().Register();                                                              \
    }                                                                                              \
    KESTROVA_C_EXPORT int32_t DllUnregisterServer() {                                              \
        return serverFn().Unregister();                                                            \
    }                                                                                              \
    KESTROVA_C_EXPORT int32_t DllGetClassObject(const char* clsid, const char* iid,                \
                                                void** object) {                                   \
        return serverFn().GetClassObject(clsid, iid, object);                                      \
    }                                                                                              \
    KESTROVA_C_EXPORT int32_t DllCanUnloadNow() {                                                  \
        return serverFn().CanUnloadNow();                                                          \
    }                                                                                              \
    KESTROVA_C_EXPORT const KestrovaDispatchTable* DllGetDispatchTable(const char* clsid) {        \
        return serverFn().DispatchFor(clsid);                                                      \
    }                                                                                              \
    namespace {                                                                                    \
    /* Module load: the connection limits (the server itself is made on first use). */             \
    [[maybe_unused]] const bool kModuleStarted = (kestrova::hosting::RunModuleStartup(), true);    \
    }

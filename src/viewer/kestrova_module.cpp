// The viewer module, libkestrova.so: the viewer control, its engine and the
// media decoders, linked in from the subsystem libraries. The exported names
// are listed in kestrova.map. This file adds the control hosting: registration,
// the class factories of the control and its property page, the dispatch table and the
// file version query.
#include "hosting/file_version_abi.h"
#include "hosting/module_entries.h"
#include "viewer/about_dialog.h"
#include "viewer/kestrova_dispatch.h"
#include "viewer/player_control.h"

#include <array>

namespace kestrova::viewer {
namespace {

constexpr hosting::ModuleIdentity kIdentity{
    .libraryName = "KESTROVALib",
    .libraryId = "{3F6B2C11-8D4A-4B7E-9C25-1A7E5D0B4C01}",
    .helpString = "Kestrova ActiveX Control module",
    .helpFile = "Kestrova.hlp",
    .dispatchInterface = "_DKestrova",
    .dispatchInterfaceId = "{3F6B2C12-8D4A-4B7E-9C25-1A7E5D0B4C01}",
    .dispatchHelp = "Dispatch interface for Kestrova Control",
    .eventInterface = "_DKestrovaEvents",
    .eventInterfaceId = "{3F6B2C13-8D4A-4B7E-9C25-1A7E5D0B4C01}",
    .eventHelp = "Event interface for Kestrova Control",
    .control = {"{3F6B2C14-8D4A-4B7E-9C25-1A7E5D0B4C01}", "KESTROVA.KestrovaCtrl.1",
                "Kestrova Control"},
    .propertyPage = {"{3F6B2C15-8D4A-4B7E-9C25-1A7E5D0B4C01}", "KESTROVA.KestrovaPropPage.1",
                     "Kestrova Property Page"},
};

hosting::ModuleServer& Server();

} // namespace
} // namespace kestrova::viewer

KESTROVA_DEFINE_MODULE_ENTRIES(kestrova::viewer::Server)

// The module's file version, 1.0.0.15.
KESTROVA_C_EXPORT int32_t DllGetFileVersion(KestrovaFileVersion* version) {
    if (!version)
        return kestrova::hosting::kNullPointer;
    *version = {1, 0, 0, 15};
    return kestrova::hosting::kOk;
}

namespace kestrova::viewer {
namespace {
hosting::ModuleServer& Server() {
    return hosting::ControlModuleServer<COrloPlayerSetaCtrl, COrloPlayerSetaPropPage>(
        kIdentity, KestrovaDispatch(), reinterpret_cast<const void*>(&DllRegisterServer));
}
} // namespace
} // namespace kestrova::viewer

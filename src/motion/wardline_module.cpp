// The motion configuration module, libwardline.so: the motion control, its
// video-only engine and the video decoders, linked in from the subsystem
// libraries. The exported names are listed in wardline.map. This file adds the
// control hosting: registration, the class factories of the control and its
// property page, and the dispatch table.
#include "hosting/dispatch.h"
#include "hosting/module_entries.h"
#include "hosting/property_page.h"
#include "motion/motion_control.h"

#include <array>

namespace kestrova::motion {
namespace {

class COrloMotionDetectPropPage : public hosting::PropertyPage {
public:
    explicit COrloMotionDetectPropPage(QWidget* parent)
        : PropertyPage(QStringLiteral("General"), parent) {}
};

constexpr hosting::ModuleIdentity kIdentity{
    .libraryName = "WARDLINELib",
    .libraryId = "{8A1D4E61-5B7C-4F2A-B3D9-6E0F2C8A7D02}",
    .helpString = "Wardline ActiveX Control module",
    .helpFile = "Wardline.hlp",
    .dispatchInterface = "_DWardline",
    .dispatchInterfaceId = "{8A1D4E62-5B7C-4F2A-B3D9-6E0F2C8A7D02}",
    .dispatchHelp = "Dispatch interface for Wardline Control",
    .eventInterface = "_DWardlineEvents",
    .eventInterfaceId = "{8A1D4E63-5B7C-4F2A-B3D9-6E0F2C8A7D02}",
    .eventHelp = "Event interface for Wardline Control",
    .control = {"{8A1D4E64-5B7C-4F2A-B3D9-6E0F2C8A7D02}", "WARDLINE.WardlineCtrl.1",
                "Wardline Control"},
    .propertyPage = {"{8A1D4E65-5B7C-4F2A-B3D9-6E0F2C8A7D02}", "WARDLINE.WardlinePropPage.1",
                     "Wardline Property Page"},
};

constexpr int32_t H = KESTROVA_DISP_SHORT;
constexpr int32_t L = KESTROVA_DISP_LONG;
constexpr int32_t S = KESTROVA_DISP_STRING;
constexpr int32_t V = KESTROVA_DISP_VOID;
constexpr KestrovaDispatchParam kIdx[] = {{"nIdx", H}};
constexpr KestrovaDispatchParam kThreshold[] = {{"nIdx", H}, {"nValue", H}};
constexpr KestrovaDispatchParam kEnable[] = {{"nIdx", H}, {"nVal", H}};
constexpr KestrovaDispatchParam kSetSource[] = {
    {"szUrl", S}, {"szFrameType", S}, {"nOcxType", H}, {"szAuth", S}};
constexpr KestrovaDispatchParam kTitle[] = {{"nIdx", H}, {"szTitle", S}};

constexpr std::array kMethods{
    hosting::DispatchMethod(1, "StopPlay"),
    hosting::DispatchMethod(2, "GetMotionIndicator", L, kIdx),
    hosting::DispatchMethod(3, "GetMotionThrehold", L, kIdx),
    hosting::DispatchMethod(4, "SetMotionThrehold", V, kThreshold),
    hosting::DispatchMethod(5, "MotionApply"),
    hosting::DispatchMethod(6, "MotionEnable", V, kEnable),
    hosting::DispatchMethod(7, "GetMotionEnable", L, kIdx),
    hosting::DispatchMethod(8, "SetSource", KESTROVA_DISP_BOOL, kSetSource),
    hosting::DispatchMethod(9, "GetMotionTitle", S, kIdx),
    hosting::DispatchMethod(10, "SetMotionTitle", V, kTitle),
    hosting::DispatchMethod(hosting::kDispidAboutBox, "AboutBox"),
};

constexpr KestrovaDispatchTable kDispatch{"_DWardline", "{8A1D4E62-5B7C-4F2A-B3D9-6E0F2C8A7D02}",
                                          kMethods.size(), kMethods.data()};

hosting::ModuleServer& Server();

} // namespace
} // namespace kestrova::motion

KESTROVA_DEFINE_MODULE_ENTRIES(kestrova::motion::Server)

namespace kestrova::motion {
namespace {
hosting::ModuleServer& Server() {
    return hosting::ControlModuleServer<COrloMotionDetectCtrl, COrloMotionDetectPropPage>(
        kIdentity, kDispatch, reinterpret_cast<const void*>(&DllRegisterServer));
}
} // namespace
} // namespace kestrova::motion

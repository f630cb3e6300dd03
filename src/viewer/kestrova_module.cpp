// The viewer module, libkestrova.so: the viewer control, its engine and the
// media decoders, linked in from the subsystem libraries. The exported names
// are listed in kestrova.map. This file adds the control hosting: registration,
// the class factories of the control and its property page, and the dispatch table.
#include "hosting/module_entries.h"
#include "hosting/property_page.h"
#include "viewer/player_control.h"

#include <array>

namespace kestrova::viewer {
namespace {

class COrloPlayerSetaPropPage : public hosting::PropertyPage {
public:
    explicit COrloPlayerSetaPropPage(QWidget* parent)
        : PropertyPage(QStringLiteral("General"), parent) {}
};

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

constexpr int32_t L = KESTROVA_DISP_LONG;
constexpr int32_t S = KESTROVA_DISP_STRING;
constexpr int32_t V = KESTROVA_DISP_VOID;
constexpr KestrovaDispatchParam kStartPlay[] = {{"bRecord", L}, {"sRecordFilename", S}};
constexpr KestrovaDispatchParam kPercent[] = {{"nPercent", L}};
constexpr KestrovaDispatchParam kUrl[] = {{"sURL", S}};
constexpr KestrovaDispatchParam kViewSize[] = {{"nWidth", L}, {"nHeight", L}};
constexpr KestrovaDispatchParam kVal[] = {{"nVal", L}};
constexpr KestrovaDispatchParam kSetSource[] = {
    {"sURL", S}, {"sFrameType", S}, {"sPanTilt", S}, {"sFrameRate", S}, {"base64string", S}};

template <std::size_t N>
constexpr KestrovaDispatchMethod M(int32_t id, const char* name, int32_t result,
                                   const KestrovaDispatchParam (&params)[N]) {
    return {id, name, result, N, params};
}
constexpr KestrovaDispatchMethod M(int32_t id, const char* name) {
    return {id, name, V, 0, nullptr};
}

constexpr std::array kMethods{
    M(1, "StartPlay", V, kStartPlay),
    M(2, "StopPlay"),
    M(3, "SetZoomPercent", V, kPercent),
    M(4, "SetPlayAudio"),
    M(5, "StopPlayAudio"),
    M(6, "OpenSettingPage", V, kUrl),
    M(7, "SnapShot"),
    M(8, "SetViewSize", V, kViewSize),
    M(9, "VideoFlip"),
    M(10, "VideoMirror"),
    M(11, "VideoZoom"),
    M(12, "AudioVolume", V, kVal),
    M(13, "DirectPT", V, kVal),
    M(14, "RestoreVideo"),
    M(15, "SetSource", KESTROVA_DISP_BOOL, kSetSource),
    M(hosting::kDispidAboutBox, "AboutBox"),
};

constexpr KestrovaDispatchTable kDispatch{"_DKestrova", "{3F6B2C12-8D4A-4B7E-9C25-1A7E5D0B4C01}",
                                          kMethods.size(), kMethods.data()};

hosting::ModuleServer& Server();

} // namespace
} // namespace kestrova::viewer

KESTROVA_DEFINE_MODULE_ENTRIES(kestrova::viewer::Server)

namespace kestrova::viewer {
namespace {
hosting::ModuleServer& Server() {
    return hosting::ControlModuleServer<COrloPlayerSetaCtrl, COrloPlayerSetaPropPage>(
        kIdentity, kDispatch, reinterpret_cast<const void*>(&DllRegisterServer));
}
} // namespace
} // namespace kestrova::viewer

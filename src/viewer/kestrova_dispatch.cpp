#include "viewer/kestrova_dispatch.h"

#include "hosting/dispatch.h"
#include "hosting/status_codes.h"

#include <array>

namespace kestrova::viewer {
namespace {

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

constexpr std::array kMethods{
    hosting::DispatchMethod(1, "StartPlay", V, kStartPlay),
    hosting::DispatchMethod(2, "StopPlay"),
    hosting::DispatchMethod(3, "SetZoomPercent", V, kPercent),
    hosting::DispatchMethod(4, "SetPlayAudio"),
    hosting::DispatchMethod(5, "StopPlayAudio"),
    hosting::DispatchMethod(6, "OpenSettingPage", V, kUrl),
    hosting::DispatchMethod(7, "SnapShot"),
    hosting::DispatchMethod(8, "SetViewSize", V, kViewSize),
    hosting::DispatchMethod(9, "VideoFlip"),
    hosting::DispatchMethod(10, "VideoMirror"),
    hosting::DispatchMethod(11, "VideoZoom"),
    hosting::DispatchMethod(12, "AudioVolume", V, kVal),
    hosting::DispatchMethod(13, "DirectPT", V, kVal),
    hosting::DispatchMethod(14, "RestoreVideo"),
    hosting::DispatchMethod(15, "SetSource", KESTROVA_DISP_BOOL, kSetSource),
    hosting::DispatchMethod(hosting::kDispidAboutBox, "AboutBox"),
};

constexpr KestrovaDispatchTable kTable{"_DKestrova", "{3F6B2C12-8D4A-4B7E-9C25-1A7E5D0B4C01}",
                                       kMethods.size(), kMethods.data()};

} // namespace

const KestrovaDispatchTable& KestrovaDispatch() {
    return kTable;
}

} // namespace kestrova::viewer

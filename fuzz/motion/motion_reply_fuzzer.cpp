// Feeds arbitrary camera replies to the motion set-up parsers. Whatever the camera
// answers, the model must stay fit to be sent back: titles without line breaks and
// within their bound, rectangles on the camera's picture, and save bodies made only of
// CR LF-ended lines within the save buffer.
#include "motion/motion_protocol.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace kestrova::motion;

namespace {

void CheckBody(const std::string& body) {
    if (body.size() > kSaveBodyLimit)
        std::abort();
    for (std::size_t i = 0; i < body.size(); ++i) {
        const bool cr = body[i] == '\r';
        const bool lf = body[i] == '\n';
        if (cr && (i + 1 >= body.size() || body[i + 1] != '\n'))
            std::abort();
        if (lf && (i == 0 || body[i - 1] != '\r'))
            std::abort();
    }
}

void CheckOnPicture(const Rect& r) {
    for (int x : {r.left, r.right})
        if (x < 0 || x > 640)
            std::abort();
    for (int y : {r.top, r.bottom})
        if (y < 0 || y > 480)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);

    AreaSet areas;
    ParseAreaReply(reply, areas);
    for (const MotionArea& area : areas.areas) {
        if (!IsSendableTitle(area.title))
            std::abort();
        CheckOnPicture(area.camera);
    }
    CheckBody(BuildSaveAreaBody(areas));

    ViewArea view;
    ParseViewReply(reply, view);
    CheckOnPicture(view.camera);
    CheckBody(BuildSaveViewBody(view));

    if (auto value = LookupValue(reply, "RES: ")) {
        if (value->find_first_of("\r\n") != std::string_view::npos)
            std::abort();
        (void)ParseInteger(*value);
    }
    return 0;
}

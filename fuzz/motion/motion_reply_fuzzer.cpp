// Feeds arbitrary camera replies to the motion set-up parsers. Whatever the camera
// answers, the model must stay fit to be sent back: titles without line breaks and
// within their bound, and save bodies made only of CR LF-ended lines within the
// save buffer.
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);

    AreaSet areas;
    ParseAreaReply(reply, areas);
    for (const MotionArea& area : areas.areas)
        if (!IsSendableTitle(area.title))
            std::abort();
    CheckBody(BuildSaveAreaBody(areas));

    ViewArea view;
    ParseViewReply(reply, view);
    CheckBody(BuildSaveViewBody(view));

    if (auto value = LookupValue(reply, "RES: ")) {
        if (value->find('\r') != std::string_view::npos)
            std::abort();
        (void)ParseInteger(*value);
    }
    return 0;
}

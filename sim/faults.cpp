#include "faults.h"

#include "camera_simulator.h"

#include <array>
#include <utility>

namespace kestrova::sim {

namespace {

constexpr std::array<std::pair<Fault, std::string_view>, 18> kNames{{
    {Fault::None, "none"},
    {Fault::StallAfterHeaders, "stall-after-headers"},
    {Fault::StallBeforeAnswer, "stall-before-answer"},
    {Fault::CloseMidFrame, "close-mid-frame"},
    {Fault::CloseMidHeader, "close-mid-header"},
    {Fault::BadTag, "bad-tag"},
    {Fault::BadType, "bad-type"},
    {Fault::BadVersion, "bad-version"},
    {Fault::BadOffset, "bad-offset"},
    {Fault::BadBeginOffset, "bad-begin-offset"},
    {Fault::BadStreamNumber, "bad-stream-number"},
    {Fault::OversizePayload, "oversize-payload"},
    {Fault::Auth401, "auth-401"},
    {Fault::Busy503, "busy-503"},
    {Fault::Trickle, "trickle"},
    {Fault::Http10, "http10"},
    {Fault::Chunked, "chunked"},
    {Fault::MotionBusy, "motion-busy"},
}};

} // namespace

std::optional<Fault> ParseFault(std::string_view name) {
    if (name.empty())
        return Fault::None;
    for (const auto& [fault, text] : kNames)
        if (text == name)
            return fault;
    return std::nullopt;
}

std::string_view FaultName(Fault fault) {
    for (const auto& [f, text] : kNames)
        if (f == fault)
            return text;
    return "none";
}

std::vector<std::string_view> FaultNames() {
    std::vector<std::string_view> names;
    for (const auto& entry : kNames)
        names.push_back(entry.second);
    return names;
}

bool IsKnownFault(std::string_view name) {
    return ParseFault(name).has_value();
}

} // namespace kestrova::sim

#include "motion/motion_protocol.h"

#include <cctype>
#include <cstdio>
#include <limits>

namespace kestrova::motion {

bool IsSendableTitle(std::string_view title) {
    return title.size() <= kMaxTitleLength && title.find_first_of("\r\n") == std::string_view::npos;
}

std::optional<std::string_view> LookupValue(std::string_view reply, std::string_view key) {
    const auto at = reply.find(key);
    if (at == std::string_view::npos)
        return std::nullopt;
    const auto from = at + key.size();
    const auto cr = reply.find('\r', from);
    if (cr == std::string_view::npos)
        return std::nullopt;
    return reply.substr(from, cr - from);
}

int32_t ParseInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit)
            value = kLimit;
    }
    if (negative)
        return static_cast<int32_t>(-value);
    return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

int32_t CameraToWindow(int32_t camera) {
    return static_cast<int32_t>(camera * 0.625);
}

namespace {

void TakeInt(std::string_view reply, std::string_view key, int32_t& target) {
    if (auto v = LookupValue(reply, key))
        target = ParseInteger(*v);
}

void TakeWindowCoordinate(std::string_view reply, std::string_view key, int32_t& target) {
    if (auto v = LookupValue(reply, key))
        target = CameraToWindow(ParseInteger(*v));
}

std::string AreaKey(int n, std::string_view field) {
    return "AREA" + std::to_string(n) + std::string(field);
}

void AppendLine(std::string& body, std::string_view key, int32_t value) {
    body += key;
    body += std::to_string(value);
    body += "\r\n";
}

} // namespace

void ParseAreaReply(std::string_view reply, AreaSet& set) {
    TakeInt(reply, "RES: ", set.resolution);
    for (int n = 0; n < kAreaCount; ++n) {
        MotionArea& a = set.areas[n];
        TakeInt(reply, AreaKey(n, "EN: "), a.enable);
        TakeInt(reply, AreaKey(n, "THD: "), a.threshold);
        TakeInt(reply, AreaKey(n, "SENS: "), a.sensitivity);
        // A title that could not be sent back unchanged is not taken.
        if (auto title = LookupValue(reply, AreaKey(n, "TLE: ")); title && IsSendableTitle(*title))
            a.title = std::string(*title);
        TakeWindowCoordinate(reply, AreaKey(n, "X1: "), a.x1);
        TakeWindowCoordinate(reply, AreaKey(n, "Y1: "), a.y1);
        TakeWindowCoordinate(reply, AreaKey(n, "X2: "), a.x2);
        TakeWindowCoordinate(reply, AreaKey(n, "Y2: "), a.y2);
    }
}

void ParseViewReply(std::string_view reply, ViewArea& view) {
    view.resolution = kSentResolution;
    TakeInt(reply, "VIEWEN: ", view.enable);
    // The view's rectangle is used as it stands.
    TakeInt(reply, "VIEWAREAX1: ", view.x1);
    TakeInt(reply, "VIEWAREAY1: ", view.y1);
    TakeInt(reply, "VIEWAREAX2: ", view.x2);
    TakeInt(reply, "VIEWAREAY2: ", view.y2);
}

std::string BuildSaveViewBody(const ViewArea& view) {
    std::string body = "COMMAND: MOT_SAVE_VIEW\r\n";
    AppendLine(body, "RES: ", view.resolution);
    AppendLine(body, "VIEWEN: ", view.enable);
    AppendLine(body, "VIEWAREAX1: ", view.x1);
    AppendLine(body, "VIEWAREAY1: ", view.y1);
    AppendLine(body, "VIEWAREAX2: ", view.x2);
    AppendLine(body, "VIEWAREAY2: ", view.y2);
    body += "\r\n";
    return body;
}

std::string BuildSaveAreaBody(const AreaSet& set) {
    std::string body = "COMMAND: MOT_SAVE_AREA\r\n";
    AppendLine(body, "RES: ", set.resolution);
    for (int n = 0; n < kAreaCount; ++n) {
        const MotionArea& a = set.areas[n];
        AppendLine(body, AreaKey(n, "EN: "), a.enable);
        AppendLine(body, AreaKey(n, "THD: "), a.threshold);
        AppendLine(body, AreaKey(n, "SENS: "), a.sensitivity);
        body += AreaKey(n, "TLE: ");
        body += a.title;
        body += "\r\n";
        AppendLine(body, AreaKey(n, "X1: "), a.x1);
        AppendLine(body, AreaKey(n, "Y1: "), a.y1);
        AppendLine(body, AreaKey(n, "X2: "), a.x2);
        AppendLine(body, AreaKey(n, "Y2: "), a.y2);
    }
    body += "\r\n";
    return body;
}

namespace {
int32_t RoundToMultiple(int32_t v, int32_t step) {
    // Floor division so that the remainder is always 0..step-1.
    int32_t q = v / step, r = v % step;
    if (r < 0) {
        --q;
        r += step;
    }
    return (r * 2 >= step ? q + 1 : q) * step;
}
} // namespace

int32_t RoundViewX(int32_t x) {
    return RoundToMultiple(x, 16);
}
int32_t RoundViewY(int32_t y) {
    return RoundToMultiple(y, 8);
}

std::string_view MessageText(int id) {
    switch (id) {
    case kMsgCannotConnect:
        return "Can not connect !";
    case kMsgDeviceBusy:
        return "Device is busy, please try again later.";
    case kMsgProtected:
        return "Protected object. This object is protected.";
    default:
        return {};
    }
}

} // namespace kestrova::motion

#include "motion/motion_protocol.h"

#include "motion/area_geometry.h"

#include <algorithm>
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
    const auto end = reply.find_first_of("\r\n", from);
    if (end == std::string_view::npos)
        return std::nullopt;
    return reply.substr(from, end - from);
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

Rect CameraToWindow(const Rect& c) {
    return {CameraToWindow(c.left), CameraToWindow(c.top), CameraToWindow(c.right),
            CameraToWindow(c.bottom)};
}

namespace {

// Areas and the view keep the camera's rectangle beside the window one derived from it.
template <typename Region> void StoreCameraRect(Region& region, const Rect& camera) {
    region.camera = camera;
    const Rect w = CameraToWindow(camera);
    region.x1 = w.left;
    region.y1 = w.top;
    region.x2 = w.right;
    region.y2 = w.bottom;
}

} // namespace

void SetCameraRect(MotionArea& area, const Rect& camera) {
    StoreCameraRect(area, camera);
}

void SetCameraRect(ViewArea& view, const Rect& camera) {
    StoreCameraRect(view, camera);
}

namespace {

// Reads the lookups of one reply and counts the keys found.
class ReplyReader {
public:
    explicit ReplyReader(std::string_view reply) : reply_(reply) {}
    int Found() const { return found_; }

    std::optional<std::string_view> Take(std::string_view key) {
        auto v = LookupValue(reply_, key);
        if (v)
            ++found_;
        return v;
    }
    void Int(std::string_view key, int32_t& target) {
        if (auto v = Take(key))
            target = ParseInteger(*v);
    }
    // A coordinate clamped to 0..limit.
    void Coordinate(std::string_view key, int& target, int limit) {
        if (auto v = Take(key))
            target = std::clamp<int32_t>(ParseInteger(*v), 0, limit);
    }
    // The four edges x1, y1, x2, y2 under `prefix`, kept in `camera`.
    void CameraRect(const std::string& prefix, Rect& camera) {
        Coordinate(prefix + "X1: ", camera.left, kCameraWidth);
        Coordinate(prefix + "Y1: ", camera.top, kCameraHeight);
        Coordinate(prefix + "X2: ", camera.right, kCameraWidth);
        Coordinate(prefix + "Y2: ", camera.bottom, kCameraHeight);
    }

private:
    std::string_view reply_;
    int found_ = 0;
};

std::string AreaKey(int n, std::string_view field) {
    return "AREA" + std::to_string(n) + std::string(field);
}

void AppendLine(std::string& body, std::string_view key, int32_t value) {
    body += key;
    body += std::to_string(value);
    body += "\r\n";
}

} // namespace

int ParseAreaReply(std::string_view reply, AreaSet& set) {
    ReplyReader r(reply);
    r.Int("RES: ", set.resolution);
    for (int n = 0; n < kAreaCount; ++n) {
        MotionArea& a = set.areas[n];
        r.Int(AreaKey(n, "EN: "), a.enable);
        r.Int(AreaKey(n, "THD: "), a.threshold);
        r.Int(AreaKey(n, "SENS: "), a.sensitivity);
        // A title that could not be sent back unchanged is not taken.
        if (auto title = r.Take(AreaKey(n, "TLE: ")); title && IsSendableTitle(*title))
            a.title = std::string(*title);
        Rect camera = a.camera;
        r.CameraRect(AreaKey(n, ""), camera);
        SetCameraRect(a, camera);
    }
    return r.Found();
}

int ParseViewReply(std::string_view reply, ViewArea& view) {
    ReplyReader r(reply);
    r.Int("RES: ", view.resolution);
    view.resolution = kSentResolution;
    r.Int("VIEWEN: ", view.enable);
    Rect camera = view.camera;
    r.CameraRect("VIEWAREA", camera);
    SetCameraRect(view, camera);
    return r.Found();
}

std::string BuildSaveViewBody(const ViewArea& view) {
    std::string body = "COMMAND: MOT_SAVE_VIEW\r\n";
    AppendLine(body, "RES: ", view.resolution);
    AppendLine(body, "VIEWEN: ", view.enable);
    AppendLine(body, "VIEWAREAX1: ", view.camera.left);
    AppendLine(body, "VIEWAREAY1: ", view.camera.top);
    AppendLine(body, "VIEWAREAX2: ", view.camera.right);
    AppendLine(body, "VIEWAREAY2: ", view.camera.bottom);
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
        AppendLine(body, AreaKey(n, "X1: "), a.camera.left);
        AppendLine(body, AreaKey(n, "Y1: "), a.camera.top);
        AppendLine(body, AreaKey(n, "X2: "), a.camera.right);
        AppendLine(body, AreaKey(n, "Y2: "), a.camera.bottom);
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
    case kMsgNoSetup:
        return "The camera sent no motion set-up.";
    case kMsgSaved:
        return "Saved.";
    case kMsgNotSaved:
        return "Not saved !";
    default:
        return {};
    }
}

} // namespace kestrova::motion

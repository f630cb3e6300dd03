#include "motion_store.h"

#include "json.h"
#include "pages.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

namespace kestrova::sim {

MotionSetup MotionSetup::Defaults() {
    MotionSetup s;
    for (int i = 0; i < 4; ++i) {
        MotionArea& a = s.areas[i];
        a.title = "Area " + std::to_string(i + 1);
        a.x1 = (i % 2) * 320;
        a.y1 = (i / 2) * 240;
        a.x2 = a.x1 + 320;
        a.y2 = a.y1 + 240;
    }
    return s;
}

std::array<uint8_t, 4> MotionLevels(const MotionSetup& setup, const Rect& objectCamera) {
    std::array<uint8_t, 4> levels{};
    for (int i = 0; i < 4; ++i) {
        const MotionArea& a = setup.areas[i];
        const Rect r{a.x1, a.y1, a.x2, a.y2};
        const int64_t area = r.Area();
        if (!a.enable || area == 0)
            continue;
        const int64_t covered = Intersect(r, objectCamera).Area();
        levels[i] = static_cast<uint8_t>(covered * 255 / area);
    }
    return levels;
}

namespace {

// Key lines of a command block: "KEY: value", split at the first ": ".
using KeyLines = std::map<std::string, std::string, std::less<>>;

std::vector<std::string_view> SplitLines(std::string_view body) {
    std::vector<std::string_view> lines;
    size_t pos = 0;
    while (pos < body.size()) {
        size_t end = body.find('\n', pos);
        if (end == std::string_view::npos)
            end = body.size();
        std::string_view line = body.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        pos = end + 1;
    }
    return lines;
}

std::optional<int> ParseInt(std::string_view text) {
    int value = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end || begin == end)
        return std::nullopt;
    return value;
}

ProtocolReply Bad(std::string why) {
    return {400, "ERROR: " + why + "\r\n"};
}

// Fills an integer from a key line; a missing or non-numeric value is an error.
bool TakeInt(const KeyLines& keys, const std::string& key, int& out, std::string& error) {
    auto it = keys.find(key);
    if (it == keys.end()) {
        error = "missing key " + key;
        return false;
    }
    auto v = ParseInt(it->second);
    if (!v) {
        error = "bad value for " + key;
        return false;
    }
    out = *v;
    return true;
}

constexpr size_t kMaxTitle = 64;

} // namespace

MotionStore::MotionStore(std::string persistFile)
    : setup_(MotionSetup::Defaults()), file_(std::move(persistFile)) {
    if (file_.empty())
        return;
    std::ifstream in(file_, std::ios::binary);
    if (!in)
        return; // created by the first save
    std::stringstream text;
    text << in.rdbuf();
    MotionSetup loaded = MotionSetup::Defaults();
    if (MotionSetupFromJson(text.str(), loaded, &loadError_))
        setup_ = loaded;
}

MotionSetup MotionStore::Snapshot() const {
    std::lock_guard lock(mutex_);
    return setup_;
}

std::string MotionStore::ToJson() const {
    return MotionSetupToJson(Snapshot());
}

bool MotionStore::Persist(const MotionSetup& setup) const {
    if (file_.empty())
        return true;
    const std::string tmp = file_ + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out << MotionSetupToJson(setup) << "\n";
        if (!out)
            return false;
    }
    return std::rename(tmp.c_str(), file_.c_str()) == 0;
}

ProtocolReply MotionStore::Handle(std::string_view body, bool busy) {
    const auto lines = SplitLines(body);
    constexpr std::string_view kCommand = "COMMAND: ";
    if (lines.empty() || lines[0].substr(0, kCommand.size()) != kCommand)
        return Bad("the body must begin with \"COMMAND: \"");
    const std::string_view command = lines[0].substr(kCommand.size());
    KeyLines keys;
    for (size_t i = 1; i < lines.size(); ++i) {
        const auto sep = lines[i].find(": ");
        if (sep == std::string_view::npos) {
            if (!lines[i].empty())
                return Bad("line without \": \": " + std::string(lines[i].substr(0, 40)));
            continue;
        }
        // A key given twice (e.g. smuggled in through a title) makes the block ambiguous.
        if (!keys.emplace(std::string(lines[i].substr(0, sep)),
                          std::string(lines[i].substr(sep + 2)))
                 .second)
            return Bad("duplicate key " +
                       std::string(lines[i].substr(0, std::min<size_t>(sep, 40))));
    }

    const bool known = command == "MOT_READ_VIEW" || command == "MOT_READ_AREA" ||
                       command == "MOT_SAVE_VIEW" || command == "MOT_SAVE_AREA" ||
                       command == "MOT_OCX_FREE";
    if (!known)
        return Bad("unknown command " + std::string(command.substr(0, 40)));
    if (busy)
        return {403, std::string(kForbiddenPage)};

    std::lock_guard lock(mutex_);
    std::ostringstream out;
    if (command == "MOT_READ_VIEW") {
        const MotionView& v = setup_.view;
        out << "RES: " << setup_.res << "\r\nVIEWEN: " << v.enable << "\r\nVIEWAREAX1: " << v.x1
            << "\r\nVIEWAREAY1: " << v.y1 << "\r\nVIEWAREAX2: " << v.x2
            << "\r\nVIEWAREAY2: " << v.y2 << "\r\n";
        return {200, out.str()};
    }
    if (command == "MOT_READ_AREA") {
        out << "RES: " << setup_.res << "\r\n";
        for (int n = 0; n < 4; ++n) {
            const MotionArea& a = setup_.areas[n];
            const std::string k = "AREA" + std::to_string(n);
            out << k << "EN: " << a.enable << "\r\n"
                << k << "THD: " << a.threshold << "\r\n"
                << k << "SENS: " << a.sensitivity << "\r\n"
                << k << "TLE: " << a.title << "\r\n"
                << k << "X1: " << a.x1 << "\r\n"
                << k << "Y1: " << a.y1 << "\r\n"
                << k << "X2: " << a.x2 << "\r\n"
                << k << "Y2: " << a.y2 << "\r\n";
        }
        return {200, out.str()};
    }
    if (command == "MOT_OCX_FREE")
        return {200, "MOT: OK\r\n"};

    // Saves take every key or nothing, so a half-written set-up never lands.
    MotionSetup next = setup_;
    std::string error;
    if (!TakeInt(keys, "RES", next.res, error))
        return Bad(error);
    if (command == "MOT_SAVE_VIEW") {
        MotionView& v = next.view;
        if (!TakeInt(keys, "VIEWEN", v.enable, error) ||
            !TakeInt(keys, "VIEWAREAX1", v.x1, error) ||
            !TakeInt(keys, "VIEWAREAY1", v.y1, error) ||
            !TakeInt(keys, "VIEWAREAX2", v.x2, error) || !TakeInt(keys, "VIEWAREAY2", v.y2, error))
            return Bad(error);
    } else {
        for (int n = 0; n < 4; ++n) {
            MotionArea& a = next.areas[n];
            const std::string k = "AREA" + std::to_string(n);
            if (!TakeInt(keys, k + "EN", a.enable, error) ||
                !TakeInt(keys, k + "THD", a.threshold, error) ||
                !TakeInt(keys, k + "SENS", a.sensitivity, error) ||
                !TakeInt(keys, k + "X1", a.x1, error) || !TakeInt(keys, k + "Y1", a.y1, error) ||
                !TakeInt(keys, k + "X2", a.x2, error) || !TakeInt(keys, k + "Y2", a.y2, error))
                return Bad(error);
            auto title = keys.find(k + "TLE");
            if (title == keys.end())
                return Bad("missing key " + k + "TLE");
            if (title->second.size() > kMaxTitle)
                return Bad("title of " + k + " longer than " + std::to_string(kMaxTitle));
            a.title = title->second;
        }
    }
    if (!Persist(next))
        return {500, "ERROR: cannot write the motion set-up file\r\n"};
    setup_ = next;
    return {200, "MOT: OK\r\n"};
}

std::string MotionSetupToJson(const MotionSetup& s) {
    std::ostringstream out;
    out << "{\"res\":" << s.res << ",\"view\":{\"enable\":" << s.view.enable
        << ",\"x1\":" << s.view.x1 << ",\"y1\":" << s.view.y1 << ",\"x2\":" << s.view.x2
        << ",\"y2\":" << s.view.y2 << "},\"areas\":[";
    for (int n = 0; n < 4; ++n) {
        const MotionArea& a = s.areas[n];
        out << (n ? "," : "") << "{\"enable\":" << a.enable << ",\"threshold\":" << a.threshold
            << ",\"sensitivity\":" << a.sensitivity << ",\"title\":" << JsonEscape(a.title)
            << ",\"x1\":" << a.x1 << ",\"y1\":" << a.y1 << ",\"x2\":" << a.x2 << ",\"y2\":" << a.y2
            << "}";
    }
    out << "]}";
    return out.str();
}

bool MotionSetupFromJson(std::string_view text, MotionSetup& out, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    auto doc = ParseJson(text);
    if (!doc || doc->kind != JsonValue::Kind::Object)
        return fail("not a JSON object");
    auto num = [](const JsonValue& obj, const char* key, int& target) {
        const JsonValue* v = obj.Find(key);
        if (!v || v->kind != JsonValue::Kind::Number)
            return false;
        target = static_cast<int>(v->number);
        return true;
    };
    MotionSetup s = MotionSetup::Defaults();
    const JsonValue* view = doc->Find("view");
    const JsonValue* areas = doc->Find("areas");
    if (!num(*doc, "res", s.res) || !view || !areas || areas->kind != JsonValue::Kind::Array ||
        areas->array.size() != 4)
        return fail("missing res, view or four areas");
    if (!num(*view, "enable", s.view.enable) || !num(*view, "x1", s.view.x1) ||
        !num(*view, "y1", s.view.y1) || !num(*view, "x2", s.view.x2) ||
        !num(*view, "y2", s.view.y2))
        return fail("incomplete view");
    for (int n = 0; n < 4; ++n) {
        const JsonValue& a = areas->array[n];
        MotionArea& t = s.areas[n];
        const JsonValue* title = a.Find("title");
        if (!num(a, "enable", t.enable) || !num(a, "threshold", t.threshold) ||
            !num(a, "sensitivity", t.sensitivity) || !num(a, "x1", t.x1) || !num(a, "y1", t.y1) ||
            !num(a, "x2", t.x2) || !num(a, "y2", t.y2) || !title ||
            title->kind != JsonValue::Kind::String)
            return fail("incomplete area " + std::to_string(n));
        t.title = title->string;
    }
    out = s;
    return true;
}

} // namespace kestrova::sim

// The camera's motion-detection set-up (one view area, four motion areas) and
// the line protocol posted to "/ocxparser.cgi" that reads and stores it.
#pragma once

#include "scene.h"

#include <array>
#include <mutex>
#include <string>
#include <string_view>

namespace kestrova::sim {

struct MotionView {
    int enable = 1;
    int x1 = 0, y1 = 0, x2 = 640, y2 = 480;
};

struct MotionArea {
    int enable = 1;
    int threshold = 50;
    int sensitivity = 50;
    std::string title;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct MotionSetup {
    int res = 3;
    MotionView view;
    std::array<MotionArea, 4> areas;

    static MotionSetup Defaults(); // four quadrants titled "Area 1" .. "Area 4"
};

// Motion level 0..255 per area: the share of the area's rectangle (camera
// coordinates) covered by the moving object; 0 for a disabled or empty area.
std::array<uint8_t, 4> MotionLevels(const MotionSetup& setup, const Rect& objectCamera);

struct ProtocolReply {
    int status = 200;
    std::string body;
};

class MotionStore {
public:
    // persistFile: JSON file read now (when present) and written after every save; "" = memory
    // only.
    explicit MotionStore(std::string persistFile = "");

    // Runs one command block; busy answers the 403 page to every command.
    ProtocolReply Handle(std::string_view body, bool busy);

    MotionSetup Snapshot() const;
    std::string ToJson() const;
    // Result of loading the persisted file at construction ("" when fine or absent).
    const std::string& LoadError() const { return loadError_; }

private:
    bool Persist(const MotionSetup& setup) const;

    mutable std::mutex mutex_;
    MotionSetup setup_;
    std::string file_;
    std::string loadError_;
};

std::string MotionSetupToJson(const MotionSetup& setup);
// False (with a reason) when the text is not a motion set-up written by MotionSetupToJson.
bool MotionSetupFromJson(std::string_view text, MotionSetup& out, std::string* error);

} // namespace kestrova::sim

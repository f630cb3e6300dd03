#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kestrova::motion {

inline constexpr int kAreaCount = 4;

// Control mode handed to SetSource: 1 areas over live video, 2 the view over a snapshot.
// Every other value reads and releases like area mode but saves nothing.
inline constexpr int kModeArea = 1;
inline constexpr int kModeView = 2;

// A rectangle by its edges (right and bottom exclusive, as window rectangles are).
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// One motion area. Its rectangle is kept twice: `camera` as the camera stores it (read or
// last saved) and x1..y2, the window rectangle derived from it where the frame is placed.
// A save sends `camera` unless the user moved or sized the frame, so values never drift
// through the lossy window scale.
struct MotionArea {
    int32_t enable = 0;
    int32_t threshold = 0;
    int32_t sensitivity = 0;
    int32_t indicator = 0; // last motion level copied in by the area's timer, 0..255
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::string title;
    Rect camera;
};

struct AreaSet {
    int32_t resolution = 0;
    std::array<MotionArea, kAreaCount> areas;
    bool loaded = false; // a read in area mode succeeded

    AreaSet() {
        for (int n = 0; n < kAreaCount; ++n)
            areas[n].title = "Area " + std::to_string(n + 1);
    }
};

// The view, kept like an area: the camera's rectangle and the window rectangle shown for it.
struct ViewArea {
    int32_t resolution = 0;
    int32_t enable = 0;
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    Rect camera;
    bool loaded = false; // a read in view mode succeeded
};

// The stream display scale in percent for the resolution code read in area mode.
inline int StreamScaleForResolution(int resolution) {
    return resolution == 1 ? 400 : resolution == 2 ? 200 : 100;
}

} // namespace kestrova::motion

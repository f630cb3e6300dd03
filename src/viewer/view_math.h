#pragma once

#include <optional>
#include <string>

namespace kestrova::viewer {

// Mirror mode: bit 0 = vertical flip, bit 1 = horizontal mirror.
constexpr int MirrorMode(bool flip, bool mirror) {
    return (flip ? 1 : 0) + (mirror ? 2 : 0);
}

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The half-size zoom window around a click at (x, y) in a view of vw x vh, kept inside
// the view. Null when the click lies outside 0..vw, 0..vh.
std::optional<Rect> ZoomWindow(int x, int y, int vw, int vh);

// The zoom rectangle's origin in source pixels of the unflipped, unmirrored picture of
// W x H for a zoom window whose top-left corner is (x0, y0) in the view, given the mirror
// mode the view was drawn with. Clamped to W / 2, H / 2.
Point ZoomSourceOrigin(int x0, int y0, int width, int height, int vw, int vh, int mirrorMode);

// Where the stored zoom rectangle (X, Y, w, h) lies in the picture as transformed by
// the mirror mode.
Point ZoomDrawOrigin(int x, int y, int w, int h, int mirrorMode);

// Drawn size: the view size times percent / 100.
int ScaledExtent(int viewExtent, int percent);

// The pan and tilt values sent for a click at (x, y) of a view vw x vh showing a picture
// of W x H. Null when the click lies outside the view or a size is not positive.
struct PanTilt {
    int pan = 0;
    int tilt = 0;
    friend bool operator==(const PanTilt&, const PanTilt&) = default;
};
std::optional<PanTilt> ClickPanTilt(int x, int y, int vw, int vh, int width, int height,
                                    bool zoomApplied, int mirrorMode);

// The preview's crop rectangle (left, top, right, bottom) for a zoom rectangle at source
// origin (sx, sy) of size w x h in a picture of W x H.
Rect PreviewCrop(int width, int height, int sx, int sy, int w, int h);

// Audio level in hundredths of a decibel for the page's volume value 0..9.
int AudioLevelFromVolume(long value);

// "<folder>\Orlo<YYYYmmdd-HHMMSS>" for the given local time.
std::string DefaultSnapshotName(const std::string& folder, int year, int month, int day, int hour,
                                int minute, int second);

} // namespace kestrova::viewer

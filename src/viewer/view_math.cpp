#include "viewer/view_math.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kestrova::viewer {

namespace {

// 10/11 in single precision: a 704-pixel-wide picture maps onto the camera's 640 steps.
constexpr float kWide704 = 0.90909094f;
constexpr double kTiltScale = 0.9375;

// One axis of the zoom window: half the view wide, centred on the click, kept inside.
void ZoomAxis(int c, int extent, int& lo, int& hi) {
    const int q = extent / 4;
    if (c - q < 0) {
        lo = 0;
        hi = extent / 2;
    } else if (c + q > extent) {
        hi = extent;
        lo = extent / 2;
    } else {
        lo = c - q;
        hi = lo + extent / 2;
    }
}

int Trunc(double v) {
    return static_cast<int>(std::trunc(v));
}

} // namespace

std::optional<Rect> ZoomWindow(int x, int y, int vw, int vh) {
    if (x < 0 || y < 0 || x > vw || y > vh)
        return std::nullopt;
    Rect r;
    ZoomAxis(x, vw, r.left, r.right);
    ZoomAxis(y, vh, r.top, r.bottom);
    return r;
}

Point ZoomSourceOrigin(int x0, int y0, int width, int height, int vw, int vh, int mirrorMode) {
    Point p;
    if (width <= 0 || height <= 0 || vw <= 0 || vh <= 0)
        return p;
    if (width < vw) {
        // Enlarged picture: the ratio is fractional, so divide in floating point.
        p.x = Trunc(x0 / (static_cast<double>(vw) / width));
        p.y = Trunc(y0 / (static_cast<double>(vh) / height));
    } else {
        p.x = (width / vw) * x0;
        p.y = (height / vh) * y0;
    }
    if (mirrorMode & 1)
        p.y = height / 2 - p.y;
    if (mirrorMode & 2)
        p.x = width / 2 - p.x;
    p.x = std::clamp(p.x, 0, width / 2);
    p.y = std::clamp(p.y, 0, height / 2);
    return p;
}

Point ZoomDrawOrigin(int x, int y, int w, int h, int mirrorMode) {
    return {(mirrorMode & 2) ? w - x : x, (mirrorMode & 1) ? h - y : y};
}

int ScaledExtent(int viewExtent, int percent) {
    return static_cast<int>(static_cast<long long>(percent) * viewExtent / 100);
}

std::optional<PanTilt> ClickPanTilt(int x, int y, int vw, int vh, int width, int height,
                                    bool zoomApplied, int mirrorMode) {
    if (width <= 0 || height <= 0 || vw <= 0 || vh <= 0)
        return std::nullopt;
    if (x < 0 || y < 0 || x > vw || y > vh)
        return std::nullopt;
    const double sx = static_cast<double>(vw) / width;
    const float sy = static_cast<float>(vh) / static_cast<float>(height);
    const int dx = x - vw / 2;
    const int dy = y - vh / 2;
    const double factor = zoomApplied ? 0.5 : 1.0;
    PanTilt r;
    r.pan = Trunc(dx / sx * factor);
    const int t = Trunc(-(static_cast<float>(dy) / sy) * factor);
    if (width == 704)
        r.pan = Trunc(r.pan * static_cast<double>(kWide704));
    r.tilt = Trunc(t * kTiltScale);
    if (mirrorMode & 1)
        r.tilt = -r.tilt;
    if (mirrorMode & 2)
        r.pan = -r.pan;
    return r;
}

Rect PreviewCrop(int width, int height, int sx, int sy, int w, int h) {
    auto k = [](int v) { return static_cast<int>(static_cast<float>(v) * kWide704); };
    if (width == 704)
        return {k(sx) / 2, sy / 2, k(sx + w) / 2, (sy + h) / 2};
    if (width == 640)
        return {sx / 2, sy / 2, (sx + w) / 2, (sy + h) / 2};
    if (width == 320)
        return {sx, sy, sx + w, sy + h};
    if (height == 128)
        return {2 * sx, 2 * k(sy), 2 * sx + 2 * w, 2 * k(sy + h)};
    return {2 * sx, 2 * sy, 2 * sx + 2 * w, 2 * (sy + h)};
}

int AudioLevelFromVolume(long value) {
    constexpr int kSilence = -10000;
    if (value <= 0)
        return kSilence;
    const double level = 2000.0 * std::log10(static_cast<double>(value) / 9.0);
    return std::clamp(Trunc(level), kSilence, 0);
}

std::string DefaultSnapshotName(const std::string& folder, int year, int month, int day, int hour,
                                int minute, int second) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", year, month, day, hour, minute,
                  second);
    return folder + "/Orlo" + stamp;
}

} // namespace kestrova::viewer

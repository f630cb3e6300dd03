#include "scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kestrova::sim {

Rect Intersect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.x1, b.x1), std::max(a.y1, b.y1), std::min(a.x2, b.x2), std::min(a.y2, b.y2)};
    if (r.x2 < r.x1)
        r.x2 = r.x1;
    if (r.y2 < r.y1)
        r.y2 = r.y1;
    return r;
}

namespace {

// 0 .. span .. 0 over one period of 2 * span steps.
int Triangle(int64_t n, int span) {
    if (span <= 0)
        return 0;
    int64_t p = n % (2 * static_cast<int64_t>(span));
    return static_cast<int>(p <= span ? p : 2 * span - p);
}

struct Yuv {
    uint8_t y, u, v;
};

// 75 % colour bars: white, yellow, cyan, green, magenta, red, blue, black.
constexpr std::array<Yuv, 8> kBars{{{180, 128, 128},
                                    {162, 44, 142},
                                    {131, 156, 44},
                                    {112, 72, 58},
                                    {84, 184, 198},
                                    {65, 100, 212},
                                    {35, 212, 114},
                                    {16, 128, 128}}};

// 3 x 5 digit glyphs, one row per 3 low bits, top row first.
constexpr std::array<std::array<uint8_t, 5>, 11> kGlyphs{{
    {7, 5, 5, 5, 7},
    {2, 6, 2, 2, 7},
    {7, 1, 7, 4, 7},
    {7, 1, 7, 1, 7},
    {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7},
    {7, 4, 7, 5, 7},
    {7, 1, 1, 1, 1},
    {7, 5, 7, 5, 7},
    {7, 5, 7, 1, 7},
    {0, 2, 0, 2, 0}, // ':'
}};

void FillLuma(YuvPicture& pic, const Rect& r, uint8_t value) {
    for (int y = std::max(r.y1, 0); y < std::min(r.y2, pic.height); ++y)
        for (int x = std::max(r.x1, 0); x < std::min(r.x2, pic.width); ++x)
            pic.y[static_cast<size_t>(y) * pic.width + x] = value;
}

void FillChroma(YuvPicture& pic, const Rect& r, uint8_t u, uint8_t v) {
    const int cw = pic.width / 2, ch = pic.height / 2;
    for (int y = std::max(r.y1 / 2, 0); y < std::min(r.y2 / 2, ch); ++y)
        for (int x = std::max(r.x1 / 2, 0); x < std::min(r.x2 / 2, cw); ++x) {
            pic.u[static_cast<size_t>(y) * cw + x] = u;
            pic.v[static_cast<size_t>(y) * cw + x] = v;
        }
}

void DrawClock(YuvPicture& pic, int64_t frame, int fps) {
    const int64_t seconds = frame / fps;
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", static_cast<int>(seconds / 3600 % 100),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60),
                  static_cast<int>(frame % fps));
    const int scale = std::max(2, pic.height / 96);
    const int len = static_cast<int>(std::strlen(text));
    Rect box{4, 4, 4 + (len * 4 + 1) * scale, 4 + 7 * scale};
    FillLuma(pic, box, 16);
    FillChroma(pic, box, 128, 128);
    for (int i = 0; i < len; ++i) {
        const int g = text[i] == ':' ? 10 : text[i] - '0';
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 3; ++col)
                if (kGlyphs[g][row] & (4 >> col)) {
                    const int x = box.x1 + scale + (i * 4 + col) * scale;
                    const int y = box.y1 + scale + row * scale;
                    FillLuma(pic, Rect{x, y, x + scale, y + scale}, 235);
                }
    }
}

} // namespace

Scene::Scene(int width, int height, int fps)
    : width_(width), height_(height), fps_(std::max(fps, 1)) {}

Rect Scene::ObjectAt(int64_t frame) const {
    const int side = std::max(8, (height_ / 5) & ~1);
    // Four seconds across, three seconds down, whatever the frame rate.
    const int x = Triangle(frame * (width_ - side) * 2 / (4 * fps_), width_ - side);
    const int y = Triangle(frame * (height_ - side) * 2 / (3 * fps_), height_ - side);
    return Rect{x & ~1, y & ~1, (x & ~1) + side, (y & ~1) + side};
}

Rect Scene::ObjectInCameraCoords(int64_t frame) const {
    const Rect r = ObjectAt(frame);
    return Rect{r.x1 * 640 / width_, r.y1 * 480 / height_, r.x2 * 640 / width_,
                r.y2 * 480 / height_};
}

void Scene::Render(int64_t frame, YuvPicture& pic) const {
    pic.width = width_;
    pic.height = height_;
    pic.y.assign(static_cast<size_t>(width_) * height_, 0);
    pic.u.assign(static_cast<size_t>(width_ / 2) * (height_ / 2), 128);
    pic.v.assign(pic.u.size(), 128);

    const int barsBottom = height_ * 2 / 3 & ~1;
    for (int i = 0; i < 8; ++i) {
        Rect bar{(width_ * i / 8) & ~1, 0, (width_ * (i + 1) / 8) & ~1, barsBottom};
        if (i == 7)
            bar.x2 = width_;
        FillLuma(pic, bar, kBars[i].y);
        FillChroma(pic, bar, kBars[i].u, kBars[i].v);
    }
    for (int y = barsBottom; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            pic.y[static_cast<size_t>(y) * width_ + x] =
                static_cast<uint8_t>(16 + (x * 219) / std::max(width_ - 1, 1));

    DrawClock(pic, frame, fps_);
    const Rect obj = ObjectAt(frame);
    FillLuma(pic, obj, 235);
    FillChroma(pic, obj, 90, 240);
}

int16_t AudioSample(int64_t n) {
    // 440 Hz with a 0.5 Hz warble of +-60 Hz; computed from n alone.
    const double t = static_cast<double>(n) / 8000.0;
    const double phase = 2.0 * M_PI * (440.0 * t - 60.0 / (2.0 * M_PI * 0.5) * std::cos(M_PI * t));
    return static_cast<int16_t>(std::lround(8000.0 * std::sin(phase)));
}

} // namespace kestrova::sim

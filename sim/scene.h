// Deterministic synthetic scene: colour bars, a grey ramp, a running clock and
// a moving square. Everything is a function of the frame number, so tests can
// recompute what any frame shows and which motion levels it carries.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace kestrova::sim {

struct Rect {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0; // x2, y2 exclusive
    int Area() const { return (x2 > x1 && y2 > y1) ? (x2 - x1) * (y2 - y1) : 0; }
};

Rect Intersect(const Rect& a, const Rect& b);

// Planar YUV 4:2:0 picture, no borders.
struct YuvPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> y, u, v;
};

class Scene {
public:
    Scene(int width, int height, int fps);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Fps() const { return fps_; }

    // The moving square of frame n in picture pixels.
    Rect ObjectAt(int64_t frame) const;
    // The same square in the camera's 640 x 480 coordinates.
    Rect ObjectInCameraCoords(int64_t frame) const;
    // Renders frame n into pic (resized as needed).
    void Render(int64_t frame, YuvPicture& pic) const;

private:
    int width_, height_, fps_;
};

// Bright tone with a slow warble, signed 16-bit at 8000 Hz; sample n is fixed.
int16_t AudioSample(int64_t n);

} // namespace kestrova::sim

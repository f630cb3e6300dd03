#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace kestrova::yuv::testing {

// A 4:2:0 picture in the packed layout the exported function takes.
struct Picture {
    int width;
    int height;
    std::vector<uint8_t> data;

    Picture(int w, int h) : width(w), height(h), data(w * h + 2 * (w / 2) * (h / 2)) {}
    uint8_t* y() { return data.data(); }
    uint8_t* cb() { return data.data() + width * height; }
    uint8_t* cr() { return cb() + (width / 2) * (height / 2); }
};

inline Picture randomPicture(int w, int h, uint32_t seed) {
    Picture p(w, h);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::generate(p.data.begin(), p.data.end(), [&] { return static_cast<uint8_t>(byte(rng)); });
    return p;
}

// The conversion written out per pixel, straight from the BT.601 16.16
// coefficients, without tables.
inline std::vector<uint8_t> expectedBgr(Picture& p) {
    auto clamp = [](int64_t sum) {
        const int64_t v = sum >> 16;
        return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    };
    std::vector<uint8_t> out(p.width * p.height * 3);
    for (int row = 0; row < p.height; ++row) {
        for (int col = 0; col < p.width; ++col) {
            const int64_t y = 76309 * (p.y()[row * p.width + col] - 16);
            const int c = (row / 2) * (p.width / 2) + col / 2;
            const int cb = p.cb()[c] - 128;
            const int cr = p.cr()[c] - 128;
            uint8_t* px = &out[((p.height - 1 - row) * p.width + col) * 3];
            px[0] = clamp(y + 132201 * cb);
            px[1] = clamp(y - 25675 * cb - 53279 * cr);
            px[2] = clamp(y + 104597 * cr);
        }
    }
    return out;
}

} // namespace kestrova::yuv::testing

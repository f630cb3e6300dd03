#include "codec/mpeg4/border.h"

#include <cstring>

namespace kestrova::mpeg4 {

namespace {

// A border width known at compile time turns each fill into a few vector
// stores instead of a library call per line.
template <int Border>
void fill_sides(uint8_t* origin, int width, int first, int end, ptrdiff_t stride) {
    for (int y = first; y < end; ++y) {
        uint8_t* line = origin + y * stride;
        std::memset(line - Border, line[0], Border);
        std::memset(line + width, line[width - 1], Border);
    }
}

} // namespace

void extend_sides(uint8_t* origin, int width, int first, int end, ptrdiff_t stride, int border) {
    if (border == 32)
        return fill_sides<32>(origin, width, first, end, stride);
    if (border == 16)
        return fill_sides<16>(origin, width, first, end, stride);
    for (int y = first; y < end; ++y) {
        uint8_t* line = origin + y * stride;
        std::memset(line - border, line[0], static_cast<size_t>(border));
        std::memset(line + width, line[width - 1], static_cast<size_t>(border));
    }
}

void extend_top_bottom(uint8_t* origin, int width, int height, ptrdiff_t stride, int border) {
    const size_t full = static_cast<size_t>(width + 2 * border);
    const uint8_t* top = origin - border;
    const uint8_t* bottom = origin + (height - 1) * stride - border;
    for (int i = 1; i <= border; ++i) {
        std::memcpy(origin - i * stride - border, top, full);
        std::memcpy(origin + (height - 1 + i) * stride - border, bottom, full);
    }
}

void extend_border(uint8_t* origin, int width, int height, ptrdiff_t stride, int border) {
    extend_sides(origin, width, 0, height, stride, border);
    extend_top_bottom(origin, width, height, stride, border);
}

void copy_with_border(const uint8_t* plane, int width, int height, uint8_t* origin,
                      ptrdiff_t stride, int border) {
    for (int y = 0; y < height; ++y)
        std::memcpy(origin + y * stride, plane + ptrdiff_t{y} * width, static_cast<size_t>(width));
    extend_border(origin, width, height, stride, border);
}

} // namespace kestrova::mpeg4

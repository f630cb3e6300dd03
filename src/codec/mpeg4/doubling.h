#pragma once

// Output doubling: every plane to twice its width and height with a 4-tap
// half-sample filter (-1, 9, 9, -1) / 16, taps 2.5 samples from the half
// position, edges replicated. Source samples land on even lines and columns.

#include <cstddef>
#include <cstdint>

namespace kestrova::mpeg4 {

// Reference kernel; dst has stride 2 x width. Results are saturated to 0..255.
// `src_stride` is the distance between source lines.
void double_plane_ref(const uint8_t* src, ptrdiff_t src_stride, int width, int height,
                      uint8_t* dst);
inline void double_plane_ref(const uint8_t* src, int width, int height, uint8_t* dst) {
    double_plane_ref(src, width, width, height, dst);
}

} // namespace kestrova::mpeg4

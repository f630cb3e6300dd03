#pragma once

// Output doubling: every plane to twice its width and height with a 4-tap
// half-sample filter (-1, 9, 9, -1) / 16, taps 2.5 samples from the half
// position, edges replicated. Source samples land on even lines and columns.

#include <cstdint>

namespace kestrova::mpeg4 {

// Reference kernel; dst has stride 2 x width. Results are saturated to 0..255.
void double_plane_ref(const uint8_t* src, int width, int height, uint8_t* dst);

} // namespace kestrova::mpeg4

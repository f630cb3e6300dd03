#pragma once

// Vector versions of the half-sample prediction kernel; same bytes as
// mc_block_ref for every input.

#include <cstddef>
#include <cstdint>

namespace kestrova::mpeg4 {

using McBlockFn = void (*)(uint8_t* dst, ptrdiff_t dst_stride, const uint8_t* src,
                           ptrdiff_t src_stride, int size, int hx, int hy, int rounding);

// SSE2 is part of every x86-64 processor; null on other machines.
McBlockFn mc_block_sse2();
// The SSE2 kernel with the 16 x 16 two-way case in AVX2; only call after
// checking the CPU. Null on other machines.
McBlockFn mc_block_avx2();

} // namespace kestrova::mpeg4

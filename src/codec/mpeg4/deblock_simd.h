#pragma once

// Vector versions of the luma deblocking filter; same bytes as deblock_luma
// for every input.

#include <cstddef>
#include <cstdint>

namespace kestrova::mpeg4 {

using DeblockFn = void (*)(uint8_t* plane, ptrdiff_t stride, int width, int height, int qp);

// Needs AVX2; only call after checking the CPU. Null on other machines.
DeblockFn deblock_luma_avx2_kernel();
// Needs AVX-512 F and BW and GFNI; the same conditions.
DeblockFn deblock_luma_avx512_kernel();

} // namespace kestrova::mpeg4

#pragma once

// Vector versions of the inverse transform. Each gives exactly the bytes of
// idct_put_ref / idct_add_ref for every input; blocks outside the range its
// 32-bit arithmetic covers are handed to the reference.

#include <cstddef>
#include <cstdint>

namespace kestrova::mpeg4 {

struct IdctKernels {
    void (*put)(int32_t* coeffs, uint8_t* dst, ptrdiff_t stride);
    void (*add)(int32_t* coeffs, uint8_t* dst, ptrdiff_t stride);
    void (*add_columns)(int32_t* coeffs, uint8_t* dst, ptrdiff_t stride);
};

// Needs AVX2; only call after checking the CPU.
IdctKernels idct_kernels_avx2();

} // namespace kestrova::mpeg4

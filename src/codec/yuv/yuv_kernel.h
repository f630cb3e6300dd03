#pragma once

#include "codec/yuv/yuv_tables.h"

#include <cstdint>
#include <span>

namespace kestrova::yuv {

// One pair of luma lines with their shared chroma line, and the two output
// rows they become.
struct RowPair {
    const uint8_t* y0;
    const uint8_t* y1;
    const uint8_t* cb;
    const uint8_t* cr;
    uint8_t* out0;
    uint8_t* out1;
};

// The same lines from pixel `x` (even) on, written to `out0` and `out1`; without them,
// to the 24-bit rows' own pixel x: how a kernel hands its row's tail to a narrower one.
inline RowPair rowsFrom(const RowPair& rows, int x, uint8_t* out0, uint8_t* out1) {
    return {rows.y0 + x, rows.y1 + x, rows.cb + x / 2, rows.cr + x / 2, out0, out1};
}
inline RowPair rowsFrom(const RowPair& rows, int x) {
    return rowsFrom(rows, x, rows.out0 + 3 * x, rows.out1 + 3 * x);
}

// Converts `width` pixels of both lines (width a multiple of 4).
using RowPairKernel = void (*)(const ConversionTables& tables, const RowPair& rows, int width);

struct Kernel {
    const char* name;
    RowPairKernel convert;
    // Where the kernel has one: the same pixels written as 32-bit surface pixels
    // 0xFFRRGGBB (out0 and out1 then point at 32-bit rows), bit-exact with `convert`
    // widened.
    RowPairKernel convertToSurface = nullptr;
};

// The portable table-driven kernel; it defines the arithmetic every other
// kernel must reproduce bit for bit.
void convertRowPairReference(const ConversionTables& tables, const RowPair& rows, int width);
void convertRowPairSsse3(const ConversionTables& tables, const RowPair& rows, int width);
void convertRowPairAvx2(const ConversionTables& tables, const RowPair& rows, int width);
void convertRowPairAvx512(const ConversionTables& tables, const RowPair& rows, int width);
void convertRowPairAvx512ToSurface(const ConversionTables& tables, const RowPair& rows, int width);

// Kernels this CPU can run, reference first.
std::span<const Kernel> availableKernels();
// The fastest available kernel, chosen once.
const Kernel& bestKernel();

} // namespace kestrova::yuv

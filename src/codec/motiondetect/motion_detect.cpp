#include "codec/motiondetect/motion_detect.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

constexpr int kCellSize = 16;

// Counts the samples of one row that changed by more than threshold, adding
// each to the counter of its cell.
void CountRow(const unsigned char* current, const unsigned char* previous, int width, int threshold,
              int32_t* cellCounters) {
    for (int x0 = 0; x0 < width; x0 += kCellSize) {
        const int end = x0 + kCellSize < width ? x0 + kCellSize : width;
        int32_t changed = 0;
        for (int x = x0; x < end; ++x)
            changed +=
                std::abs(static_cast<int>(current[x]) - static_cast<int>(previous[x])) > threshold;
        *cellCounters++ += changed;
    }
}

} // namespace

KESTROVA_C_EXPORT void MotionDetect(unsigned char* current, unsigned char* previous,
                                    unsigned char* result, int width, int height, int threshold) {
    if (result == nullptr)
        return;
    // One more column and row than whole cells, so partial edge cells have
    // counters of their own. With width or height of 0 or less there is
    // nothing to count, but the grid is still written (all zero); a grid
    // that comes out empty or negative is not written at all.
    const int columns = width / kCellSize + 1;
    const int rows = height / kCellSize + 1;
    if (columns <= 0 || rows <= 0)
        return;
    const size_t cells = static_cast<size_t>(columns) * static_cast<size_t>(rows);
    const bool counting = width > 0 && height > 0;
    if (counting && (current == nullptr || previous == nullptr))
        return;

    std::vector<int32_t> counters;
    try {
        counters.assign(cells, 0);
    } catch (const std::bad_alloc&) {
        return; // leave the caller's result untouched
    }

    if (counting) {
        const size_t stride = static_cast<size_t>(width);
        for (int y = 0; y < height; ++y) {
            const size_t offset = static_cast<size_t>(y) * stride;
            CountRow(current + offset, previous + offset, width, threshold,
                     counters.data() + static_cast<size_t>(y / kCellSize) * columns);
        }
    }
    for (size_t i = 0; i < cells; ++i)
        result[i] = counters[i] < 256 ? static_cast<unsigned char>(counters[i]) : 255;
}

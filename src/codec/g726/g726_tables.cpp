#include "codec/g726/g726_tables.h"

namespace kestrova::g726 {
namespace {

// -2048 stands for "minus infinity": the difference reconstructs as 0.
constexpr RateTables k16{2, {116, 365}, {-22, 439}, {0, 7}, false};

constexpr RateTables k24{3, {-2048, 135, 273, 373}, {-4, 30, 137, 582}, {0, 1, 2, 7}, false};

constexpr RateTables k32{4,
                         {-2048, 4, 135, 213, 273, 323, 373, 425},
                         {-12, 18, 41, 64, 112, 198, 355, 1122},
                         {0, 0, 0, 1, 1, 1, 3, 7},
                         false};

constexpr RateTables k40{
    5,
    {-2048, -66, 28, 104, 169, 224, 274, 318, 358, 395, 429, 459, 488, 514, 539, 566},
    {14, 14, 24, 39, 40, 41, 58, 100, 141, 179, 219, 280, 358, 440, 529, 696},
    {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 3, 4, 5, 6, 6},
    true};

} // namespace

const RateTables* rateTables(int bits) {
    switch (bits) {
    case 2:
        return &k16;
    case 3:
        return &k24;
    case 4:
        return &k32;
    case 5:
        return &k40;
    default:
        return nullptr;
    }
}

} // namespace kestrova::g726

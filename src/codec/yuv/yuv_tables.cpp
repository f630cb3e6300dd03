#include "codec/yuv/yuv_tables.h"

namespace kestrova::yuv {

void fillColourTables(ColourTables& tables) {
    for (int j = 0; j < 256; ++j) {
        tables.y[j] = kYScale * (j - 16);
        tables.crToRed[j] = kCrToRed * (j - 128);
        tables.cbToGreen[j] = kCbToGreen * (j - 128);
        tables.crToGreen[j] = kCrToGreen * (j - 128);
        tables.cbToBlue[j] = kCbToBlue * (j - 128);
    }
}

uint8_t* fillClampTable(uint8_t* raw) {
    for (int k = 0; k < kClampSize; ++k) {
        const int i = k + kClampMin;
        raw[k] = static_cast<uint8_t>(i < 0 ? 0 : (i > 255 ? 255 : i));
    }
    return raw - kClampMin;
}

} // namespace kestrova::yuv

#pragma once

#include "codec/c_export.h"

// Compares two width x height 8-bit planes and writes, for every 16 x 16 cell,
// how many samples changed by more than threshold (saturated at 255). The
// result holds (width / 16 + 1) * (height / 16 + 1) bytes, cells in row order;
// the extra column and row cover partial cells at the edges.
KESTROVA_C_EXPORT void MotionDetect(unsigned char* current, unsigned char* previous,
                                    unsigned char* result, int width, int height, int threshold);

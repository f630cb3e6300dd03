/* Motion detection between two 8-bit planes. Part of libkestrova-codecs. */
#ifndef KESTROVA_MOTION_DETECT_H
#define KESTROVA_MOTION_DETECT_H

#ifdef __cplusplus
extern "C" {
#endif

/* Compares two width x height planes and writes, for every 16 x 16 cell, how
 * many samples changed by more than threshold (saturated at 255). result holds
 * (width / 16 + 1) * (height / 16 + 1) bytes, cells in row order; the extra
 * column and row cover partial cells at the edges. */
void MotionDetect(unsigned char* current, unsigned char* previous, unsigned char* result, int width,
                  int height, int threshold);

#ifdef __cplusplus
}
#endif

#endif

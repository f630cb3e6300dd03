/* Planar YUV 4:2:0 to bottom-up 24-bit BGR. Part of libkestrova-codecs. */
#ifndef KESTROVA_YUV2RGB_H
#define KESTROVA_YUV2RGB_H

#ifdef __cplusplus
extern "C" {
#endif

/* Process-wide tables: build them once before converting, free them when done. */
void init_YUV2RGB_tab(void);
void delete_YUV2RGB_tab(void);

/* yuv: Y (width x height), then Cb and Cr ((width / 2) x (height / 2) each).
 * bgr receives width x height x 3 bytes, bottom row first. Sizes that are not
 * positive, widths that are not a multiple of 4, odd heights, null pointers and
 * a call before init_YUV2RGB_tab are refused: nothing is written. */
void ConvertYUVtoRGB(unsigned char* yuv, unsigned char* bgr, int width, int height);

#ifdef __cplusplus
}
#endif

#endif

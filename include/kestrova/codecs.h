/* libkestrova-codecs: the camera controls' media decoders as plain C functions.
 * Build with: pkg-config --cflags --libs kestrova-codecs */
#ifndef KESTROVA_CODECS_H
#define KESTROVA_CODECS_H

#include <kestrova/g726.h>
#include <kestrova/motion_detect.h>
#include <kestrova/mpeg4_decoder.h>
#include <kestrova/yuv2rgb.h>

#endif

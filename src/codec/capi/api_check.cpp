// The installed C headers declare the same functions as the codecs' own headers:
// with both in one translation unit, a declaration that drifts apart (a parameter or
// result type) stops the build as conflicting C declarations.
#include "codec/g726/g726.h"
#include "codec/motiondetect/motion_detect.h"
#include "codec/yuv/yuv2rgb.h"

#include <kestrova/g726.h>
#include <kestrova/motion_detect.h>
#include <kestrova/yuv2rgb.h>

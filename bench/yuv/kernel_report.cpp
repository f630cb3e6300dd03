// Prints which instruction-set variant each of our kernels picked on this processor, for
// the header of the benchmark table.
#include "codec/g726/g726_frame.h"
#include "codec/mpeg4/dsp.h"
#include "codec/yuv/yuv_kernel.h"

#include <cstdio>

int main() {
    std::printf("colour conversion: %s\n", kestrova::yuv::bestKernel().name);
    std::printf("MPEG-4: %s\n", kestrova::mpeg4::dsp_default().name);
    std::printf("G.726: %s\n", kestrova::g726::frameDecoderBuilds().back().name);
    return 0;
}

#include "codec/yuv/yuv_kernel.h"

#include <vector>

namespace kestrova::yuv {
namespace {

std::vector<Kernel> detectKernels() {
    std::vector<Kernel> kernels{{"reference", &convertRowPairReference}};
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("ssse3")) {
        kernels.push_back({"ssse3", &convertRowPairSsse3});
        // The AVX2 kernel hands its row tail to the SSSE3 one.
        if (__builtin_cpu_supports("avx2")) {
            kernels.push_back({"avx2", &convertRowPairAvx2});
            // ... and the AVX-512 one to the AVX2 one.
            if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi")) {
                kernels.push_back(
                    {"avx512vbmi", &convertRowPairAvx512, &convertRowPairAvx512ToSurface});
            }
        }
    }
#endif
    return kernels;
}

const std::vector<Kernel>& kernelList() {
    static const std::vector<Kernel> kernels = detectKernels();
    return kernels;
}

} // namespace

std::span<const Kernel> availableKernels() {
    return kernelList();
}

const Kernel& bestKernel() {
    return kernelList().back();
}

} // namespace kestrova::yuv

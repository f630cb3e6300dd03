#include "codec/mpeg4/dsp.h"

#include "codec/mpeg4/deblock.h"
#include "codec/mpeg4/deblock_simd.h"
#include "codec/mpeg4/doubling.h"
#include "codec/mpeg4/idct.h"
#include "codec/mpeg4/idct_simd.h"
#include "codec/mpeg4/mc_simd.h"
#include "codec/mpeg4/motion_comp.h"
#include "codec/mpeg4/state.h"

namespace kestrova::mpeg4 {
namespace {

Dsp detect() {
    Dsp d = dsp_reference();
    if (McBlockFn mc = mc_block_sse2()) {
        d.mc_block = mc;
        d.name = "sse2";
    }
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) {
        const IdctKernels k = idct_kernels_avx2();
        d.idct_put = k.put;
        d.idct_add = k.add;
        d.idct_add_columns = k.add_columns;
        if (DeblockFn f = deblock_luma_avx2_kernel())
            d.deblock_luma = f;
        if (McBlockFn mc = mc_block_avx2())
            d.mc_block = mc;
        d.name = "avx2";
    }
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("gfni"))
        if (DeblockFn f = deblock_luma_avx512_kernel())
            d.deblock_luma = f;
#endif
    return d;
}

} // namespace

const Dsp& dsp_reference() {
    using DoubleFn = void (*)(const uint8_t*, ptrdiff_t, int, int, uint8_t*);
    static constexpr Dsp table{idct_put_ref,
                               idct_add_ref,
                               idct_add_columns_ref,
                               mc_block_ref,
                               static_cast<DoubleFn>(double_plane_ref),
                               static_cast<DeblockFn>(deblock_luma),
                               "reference"};
    return table;
}

const Dsp& dsp_default() {
    static const Dsp table = detect();
    return table;
}

void set_decoder_dsp(DECODER* decoder, const Dsp& dsp) {
    if (decoder)
        static_cast<DecoderState*>(decoder)->dsp = &dsp;
}

} // namespace kestrova::mpeg4

#include "codec/mpeg4/dsp.h"

#include "codec/mpeg4/doubling.h"
#include "codec/mpeg4/idct.h"
#include "codec/mpeg4/motion_comp.h"

namespace kestrova::mpeg4 {

const Dsp& dsp_reference() {
    static constexpr Dsp table{idct_put_ref, idct_add_ref, mc_block_ref, double_plane_ref};
    return table;
}

const Dsp& dsp_default() {
    return dsp_reference();
}

} // namespace kestrova::mpeg4

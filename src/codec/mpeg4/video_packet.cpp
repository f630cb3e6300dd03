#include "codec/mpeg4/video_packet.h"

namespace kestrova::mpeg4 {

int resync_marker_zeros(const VopParams& vop) {
    return vop.type == PictureType::I ? 16 : 15 + vop.fcode;
}

bool at_long_resync_marker(const BitReader& br, int zeros) {
    const int n = br.bits_left_in_byte() == 0 ? 8 : br.bits_left_in_byte();
    if (br.peek(n) != (1u << (n - 1)) - 1)
        return false;
    BitReader probe = br;
    probe.skip(n);
    return probe.get(zeros) == 0 && probe.get_bit() == 1 && !probe.overrun();
}

int macroblock_number_bits(int macroblocks) {
    int bits = 1;
    while (bits < 16 && ((macroblocks - 1) >> bits) != 0)
        ++bits;
    return bits;
}

bool read_packet_header(DecoderState& s, int& mb_index, int& qp) {
    BitReader& br = s.br;
    br.skip(br.bits_left_in_byte() == 0 ? 8 : br.bits_left_in_byte()); // stuffing
    br.skip(resync_marker_zeros(s.vop) + 1);
    mb_index =
        static_cast<int>(br.get(macroblock_number_bits(s.layout.mb_cols * s.layout.mb_rows)));
    qp = static_cast<int>(br.get(5));
    if (qp == 0)
        return false;
    if (br.get_bit()) {
        // Header extension: a copy of the picture's timing and coding fields.
        while (br.get_bit() && !br.overrun()) {
        }
        br.skip(1 + s.stream.time_bits + 1);
        const auto type = static_cast<PictureType>(br.get(2));
        br.skip(3); // intra_dc_vlc_thr
        if (type == PictureType::P)
            br.skip(3); // vop_fcode_forward
        if (type != s.vop.type)
            return false;
    }
    return !br.overrun();
}

} // namespace kestrova::mpeg4

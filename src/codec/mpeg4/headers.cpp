#include "codec/mpeg4/headers.h"

#include "codec/mpeg4/vlc_tables.h"

#include <cstring>

namespace kestrova::mpeg4 {

int time_increment_bits(int resolution) {
    int bits = 1;
    while (bits < 16 && ((resolution - 1) >> bits) != 0)
        ++bits;
    return bits;
}

namespace {

constexpr size_t kCameraLayerBytes = 14;

// A loaded matrix: up to 64 values in zigzag order, a zero ends the list and
// the last value repeats.
bool read_matrix(BitReader& br, uint8_t* m) {
    int i = 0;
    uint8_t last = 0;
    for (; i < 64; ++i) {
        const auto v = static_cast<uint8_t>(br.get(8));
        if (v == 0)
            break;
        m[kZigzagScan[i]] = v;
        last = v;
    }
    if (i == 0)
        return false;
    for (; i < 64; ++i)
        m[kZigzagScan[i]] = last;
    return true;
}

bool valid_size(int w, int h) {
    return w > 0 && h > 0 && w <= kMaxWidth && h <= kMaxHeight && w % 16 == 0 && h % 16 == 0;
}

void parse_camera_tail(BitReader& br, LayerInfo& out) {
    // marker, interlaced, obmc_disable, sprite_enable, not_8_bit, quant_type
    out.quant_type = static_cast<int>(br.get(6) & 1);
    br.skip(6 + 4);
}

bool parse_full_tail(BitReader& br, int verid, LayerInfo& out) {
    br.skip(1); // marker
    if (br.get_bit())
        return false; // interlaced
    br.skip(1);       // obmc_disable
    if (br.get(verid == 1 ? 1 : 2) != 0)
        return false; // sprites
    if (br.get_bit()) {
        // not_8_bit: only 5-bit quantisers of 8-bit samples are supported.
        const uint32_t quant_precision = br.get(4);
        const uint32_t bits_per_pixel = br.get(4);
        if (quant_precision != 5 || bits_per_pixel != 8)
            return false;
    }
    out.quant_type = static_cast<int>(br.get_bit());
    if (out.quant_type) {
        if (br.get_bit()) {
            out.custom_intra = true;
            if (!read_matrix(br, out.intra_matrix))
                return false;
        }
        if (br.get_bit()) {
            out.custom_inter = true;
            if (!read_matrix(br, out.inter_matrix))
                return false;
        }
    }
    if (verid != 1 && br.get_bit())
        return false; // quarter_sample
    if (!br.get_bit())
        return false; // complexity estimation header present
    br.skip(1);       // resync_marker_disable
    if (br.get_bit())
        return false; // data_partitioned
    if (verid != 1) {
        if (br.get_bit())
            return false; // newpred
        if (br.get_bit())
            return false; // reduced resolution
    }
    if (br.get_bit())
        return false; // scalability
    return true;
}

} // namespace

bool parse_layer_header(BitReader& br, LayerInfo& out) {
    const size_t start = br.byte_pos();
    BitReader probe = br;
    probe.seek_byte(start + 4);
    const bool camera =
        probe.seek_next_start_code() && probe.byte_pos() - start == kCameraLayerBytes;

    std::memcpy(out.intra_matrix, kDefaultIntraMatrix, 64);
    std::memcpy(out.inter_matrix, kDefaultInterMatrix, 64);

    br.skip(32);
    br.skip(1); // random_accessible_vol
    br.skip(8); // video_object_type_indication
    int verid = 1;
    if (camera) {
        br.skip(1 + 4 + 1); // flags whose optional fields the camera leaves out
    } else {
        if (br.get_bit()) {
            verid = static_cast<int>(br.get(4));
            br.skip(3); // priority
        }
        if (br.get(4) == 15)
            br.skip(16); // par_width, par_height
        if (br.get_bit()) {
            br.skip(2 + 1); // chroma_format, low_delay
            if (br.get_bit())
                br.skip(15 + 1 + 15 + 1 + 15 + 1 + 3 + 11 + 1 + 15 + 1); // VBV parameters
        }
    }
    const uint32_t shape = br.get(2);
    if (!camera && shape != 0)
        return false;
    br.skip(1);
    out.time_resolution = static_cast<int>(br.get(16));
    if (out.time_resolution == 0)
        return false;
    br.skip(1);
    const bool fixed_rate = br.get_bit() != 0;
    if (fixed_rate && !camera)
        br.skip(time_increment_bits(out.time_resolution));
    br.skip(1);
    out.width = static_cast<int>(br.get(13));
    br.skip(1);
    out.height = static_cast<int>(br.get(13));
    if (camera) {
        parse_camera_tail(br, out);
    } else if (!parse_full_tail(br, verid, out)) {
        return false;
    }
    if (br.overrun() || !valid_size(out.width, out.height))
        return false;
    if (camera)
        br.seek_byte(start + kCameraLayerBytes);
    else
        br.align();
    br.seek_next_start_code();
    return true;
}

bool parse_vop_header(BitReader& br, StreamParams& stream, VopParams& vop) {
    if (br.get(16) != 0 || br.get(8) != 1 || br.get(8) != 0xB6)
        return false;
    vop.type = static_cast<PictureType>(br.get(2));
    while (br.get_bit() && !br.overrun())
        ++stream.seconds;
    br.skip(1); // marker
    br.skip(stream.time_bits);
    br.skip(1); // marker
    vop.coded = br.get_bit() != 0;
    vop.rounding = 0;
    if (!vop.coded || vop.type == PictureType::B || vop.type == PictureType::S)
        return !br.overrun();
    if (vop.type == PictureType::P)
        vop.rounding = static_cast<int>(br.get_bit());
    vop.intra_dc_vlc_thr = static_cast<int>(br.get(3));
    vop.quant = static_cast<int>(br.get(5));
    if (vop.quant == 0)
        return false;
    if (vop.type == PictureType::P) {
        vop.fcode = static_cast<int>(br.get(3));
        if (vop.fcode == 0)
            return false;
    }
    return !br.overrun();
}

ScanResult scan_headers(DecoderState& s) {
    BitReader& br = s.br;
    for (;;) {
        if (!br.at_start_code())
            return ScanResult::Fail;
        const uint8_t code = br.start_code_value();
        if (code == 0xB6)
            return ScanResult::Vop;
        if (code >= 0x20 && code <= 0x2F) {
            LayerInfo info;
            if (!parse_layer_header(br, info))
                return ScanResult::Fail;
            s.width = info.width;
            s.height = info.height;
            s.doubling = 0;
            s.stream.time_resolution = info.time_resolution;
            s.stream.time_bits = time_increment_bits(info.time_resolution);
            s.stream.quant_type = info.quant_type;
            std::memcpy(s.stream.intra_matrix, info.intra_matrix, 64);
            std::memcpy(s.stream.inter_matrix, info.inter_matrix, 64);
            derive_layout(s);
            continue;
        }
        // Sequence, visual object, video object, user data and group of VOP
        // headers carry nothing the decoder uses: skip to the next start code.
        const bool skippable =
            code <= 0x1F || code == 0xB0 || code == 0xB2 || code == 0xB3 || code == 0xB5;
        if (!skippable)
            return ScanResult::Fail;
        br.seek_byte(br.byte_pos() + 4);
        if (!br.seek_next_start_code())
            return ScanResult::Fail;
    }
}

} // namespace kestrova::mpeg4

#include "codec/mpeg4/decoder.h"

#include "codec/mpeg4/border.h"
#include "codec/mpeg4/deblock.h"
#include "codec/mpeg4/headers.h"
#include "codec/mpeg4/macroblock.h"
#include "codec/mpeg4/state.h"
#include "codec/mpeg4/vlc_tables.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

namespace kestrova::mpeg4 {

void derive_layout(DecoderState& s) {
    s.layout.mb_cols = s.width / 16;
    s.layout.mb_rows = (s.height + 15) / 16;
    s.layout.luma_stride = s.width + 2 * kLumaBorder;
    s.layout.chroma_stride = s.width / 2 + 2 * kChromaBorder;
    // Macroblocks now map to other samples.
    set_fresh_version(s, 0);
    set_fresh_version(s, 1);
}

void set_fresh_version(DecoderState& s, int store) {
    if (s.mb_version[store])
        std::fill_n(s.mb_version[store].get(), kMaxMacroblocks, ++s.last_version);
}

namespace {

// Stores come from calloc: zero-filled, and the pages of a large store are
// only touched when a picture of that size is decoded.
template <typename T> ZeroedArray<T> alloc_zeroed(size_t n) {
    static_assert(std::is_trivial_v<T>);
    return ZeroedArray<T>(static_cast<T*>(std::calloc(n, sizeof(T))));
}

int64_t output_bytes(const DecoderState& s) {
    const int64_t area = int64_t{s.width} * s.height;
    return s.doubling ? 6 * area : area * 3 / 2;
}

// Drops the rest of the last byte, or the whole stuffing byte when the
// picture ended on a byte boundary after a non-zero byte.
void consume_stuffing(BitReader& br) {
    if (br.bits_left_in_byte() != 0) {
        br.align();
        return;
    }
    const size_t pos = br.byte_pos();
    if (pos > 0 && pos < br.size() && br.data()[pos - 1] != 0)
        br.seek_byte(pos + 1);
}

void copy_plane(const uint8_t* src, ptrdiff_t stride, int width, int height, uint8_t* dst) {
    for (int y = 0; y < height; ++y, src += stride, dst += width)
        std::memcpy(dst, src, static_cast<size_t>(width));
}

// Writes the picture in the reference stores (the last one decoded).
void write_output(DecoderState& s, uint8_t* dst) {
    const int w = s.width, h = s.height;
    const size_t luma = size_t(w) * h;
    const ptrdiff_t ls = s.layout.luma_stride, cs = s.layout.chroma_stride;
    if (s.doubling) {
        s.dsp->double_plane(s.ref_y(), ls, w, h, dst);
        s.dsp->double_plane(s.ref_cb(), cs, w / 2, h / 2, dst + 4 * luma);
        s.dsp->double_plane(s.ref_cr(), cs, w / 2, h / 2, dst + 5 * luma);
        return;
    }
    copy_plane(s.ref_y(), ls, w, h, dst);
    copy_plane(s.ref_cb(), cs, w / 2, h / 2, dst + luma);
    copy_plane(s.ref_cr(), cs, w / 2, h / 2, dst + luma + luma / 4);
}

} // namespace

void finish_macroblock_row(DecoderState& s, int row) {
    if (!s.rows_finished_early)
        return;
    const int w = s.width, h = s.height;
    const ptrdiff_t ls = s.layout.luma_stride, cs = s.layout.chroma_stride;
    const int y0 = 16 * row, y1 = std::min(16 * row + 16, h);
    const int c0 = 8 * row, c1 = std::min(8 * row + 8, h / 2);
    extend_sides(s.cur_y(), w, y0, y1, ls, kLumaBorder);
    extend_sides(s.cur_cb(), w / 2, c0, c1, cs, kChromaBorder);
    extend_sides(s.cur_cr(), w / 2, c0, c1, cs, kChromaBorder);
    if (uint8_t* dst = s.row_output; dst && y1 > y0) {
        const size_t luma = size_t(w) * h;
        copy_plane(s.cur_y() + y0 * ls, ls, w, y1 - y0, dst + size_t(y0) * w);
        if (c1 > c0) {
            const size_t off = size_t(c0) * (w / 2);
            copy_plane(s.cur_cb() + c0 * cs, cs, w / 2, c1 - c0, dst + luma + off);
            copy_plane(s.cur_cr() + c0 * cs, cs, w / 2, c1 - c0, dst + luma + luma / 4 + off);
        }
    }
}

namespace {

// `in_place`: the picture stays in the reference store for the caller to read there;
// only a doubled picture is written to dst.
bool decode_picture(DecoderState& s, uint8_t* dst, bool in_place) {
    if (scan_headers(s) != ScanResult::Vop)
        return false;
    if (s.output_capacity >= 0 && output_bytes(s) > s.output_capacity)
        return false;
    if (!parse_vop_header(s.br, s.stream, s.vop))
        return false;

    const bool decoded =
        s.vop.coded && (s.vop.type == PictureType::I || s.vop.type == PictureType::P);
    if (decoded) {
        // A picture that failed may have left coefficients behind.
        std::memset(s.coeffs, 0, sizeof(s.coeffs));
        // Without deblocking a finished row is final: give it its borders
        // and (plain output) copy it out while it is still in the cache. A
        // picture that fails later may then have written part of dst.
        s.rows_finished_early = !s.deblocking;
        s.row_output = s.rows_finished_early && !s.doubling && !in_place ? dst : nullptr;
        s.picture_version = ++s.last_version;
        const bool ok =
            s.vop.type == PictureType::I ? decode_intra_picture(s) : decode_inter_picture(s);
        if (!ok || s.br.overrun()) {
            set_fresh_version(s, s.current); // partly written
            return false;
        }
        consume_stuffing(s.br);
        const int w = s.width, h = s.height;
        const ptrdiff_t ls = s.layout.luma_stride, cs = s.layout.chroma_stride;
        if (s.rows_finished_early) {
            extend_top_bottom(s.cur_y(), w, h, ls, kLumaBorder);
            extend_top_bottom(s.cur_cb(), w / 2, h / 2, cs, kChromaBorder);
            extend_top_bottom(s.cur_cr(), w / 2, h / 2, cs, kChromaBorder);
        } else {
            const int qp =
                next_filter_strength(s.filter_strength, s.vop.type == PictureType::I, s.vop.quant);
            s.dsp->deblock_luma(s.cur_y(), ls, w, h, qp);
            set_fresh_version(s, s.current); // skipped macroblocks filtered too
            extend_border(s.cur_y(), w, h, ls, kLumaBorder);
            extend_border(s.cur_cb(), w / 2, h / 2, cs, kChromaBorder);
            extend_border(s.cur_cr(), w / 2, h / 2, cs, kChromaBorder);
        }
        s.current ^= 1; // the new picture becomes the reference
        if (s.row_output)
            return true;
    } else {
        consume_stuffing(s.br);
    }
    if (!in_place || s.doubling)
        write_output(s, dst);
    return true;
}

} // namespace
} // namespace kestrova::mpeg4

using kestrova::mpeg4::DecoderState;

intptr_t decoder_create(void) {
    using namespace kestrova::mpeg4;
    std::unique_ptr<DecoderState> s(new (std::nothrow) DecoderState());
    if (!s)
        return 0;
    constexpr size_t ref_luma =
        size_t(kMaxWidth + 2 * kLumaBorder) * (kMaxHeight + 2 * kLumaBorder);
    constexpr size_t ref_chroma =
        size_t(kMaxWidth / 2 + 2 * kChromaBorder) * (kMaxHeight / 2 + 2 * kChromaBorder);
    for (int i = 0; i < 2; ++i) {
        s->y_store[i] = alloc_zeroed<uint8_t>(ref_luma);
        s->cb_store[i] = alloc_zeroed<uint8_t>(ref_chroma);
        s->cr_store[i] = alloc_zeroed<uint8_t>(ref_chroma);
        if (!s->y_store[i] || !s->cb_store[i] || !s->cr_store[i])
            return 0;
    }
    s->mbs = alloc_zeroed<MacroblockRecord>(kMaxMacroblocks);
    s->mvs = alloc_zeroed<MacroblockVectors>(kMaxMacroblocks);
    s->mb_info = alloc_zeroed<MacroblockInfo>(kMaxMacroblocks);
    for (auto& v : s->mb_version)
        v = alloc_zeroed<uint64_t>(kMaxMacroblocks);
    if (!s->mbs || !s->mvs || !s->mb_info || !s->mb_version[0] || !s->mb_version[1])
        return 0;
    s->width = kMaxWidth;
    s->height = kMaxHeight;
    s->doubling = 1;
    s->deblocking = 1;
    std::memcpy(s->stream.intra_matrix, kDefaultIntraMatrix, 64);
    std::memcpy(s->stream.inter_matrix, kDefaultInterMatrix, 64);
    s->dsp = &dsp_default();
    derive_layout(*s);
    return reinterpret_cast<intptr_t>(static_cast<DECODER*>(s.release()));
}

namespace kestrova::mpeg4 {
namespace {

int decode_call(DECODER* decoder, unsigned char* dst, unsigned char* data, int* out,
                bool in_place) {
    if (!out)
        return 1;
    const int length = *out; // the input length comes in through *out
    *out = 0;
    if (!decoder || !dst || !data || length <= 0) {
        *out = 4;
        return 1;
    }
    auto& s = static_cast<DecoderState&>(*decoder);
    s.br.reset(data, static_cast<size_t>(length));
    if (!decode_picture(s, dst, in_place)) {
        *out = 4;
        return 1;
    }
    *out = static_cast<int>(s.br.byte_pos());
    return 0;
}

} // namespace

int decoder_decode_view(DECODER* decoder, unsigned char* dst, unsigned char* data, int* out,
                        PictureView* view) {
    if (!view) {
        if (out)
            *out = 4;
        return 1;
    }
    const int failed = decode_call(decoder, dst, data, out, /*in_place=*/true);
    if (failed)
        return failed;
    auto& s = static_cast<DecoderState&>(*decoder);
    if (s.doubling) {
        const size_t luma = size_t(s.width) * s.height;
        *view = {dst, dst + 4 * luma, dst + 5 * luma, 2 * s.width, s.width};
    } else {
        *view = {s.ref_y(), s.ref_cb(), s.ref_cr(), s.layout.luma_stride, s.layout.chroma_stride};
    }
    return 0;
}

} // namespace kestrova::mpeg4

int decoder_decode(DECODER* decoder, unsigned char* dst, unsigned char* data, int* out) {
    return kestrova::mpeg4::decode_call(decoder, dst, data, out, /*in_place=*/false);
}

int decoder_set_output_capacity(DECODER* decoder, int bytes) {
    if (!decoder)
        return -1;
    static_cast<DecoderState*>(decoder)->output_capacity = bytes;
    return 0;
}

int decoder_destroy(DECODER* decoder) {
    if (!decoder)
        return -1;
    delete static_cast<DecoderState*>(decoder);
    return 0;
}

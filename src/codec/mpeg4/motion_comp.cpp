#include "codec/mpeg4/motion_comp.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kestrova::mpeg4 {

void mc_block_ref(uint8_t* dst, ptrdiff_t dst_stride, const uint8_t* src, ptrdiff_t src_stride,
                  int size, int hx, int hy, int rounding) {
    const int r = rounding;
    for (int y = 0; y < size; ++y, dst += dst_stride, src += src_stride) {
        const uint8_t* a = src;
        const uint8_t* c = src + src_stride;
        if (!hx && !hy) {
            std::copy(a, a + size, dst);
        } else if (hx && !hy) {
            for (int x = 0; x < size; ++x)
                dst[x] = static_cast<uint8_t>((a[x] + a[x + 1] + 1 - r) >> 1);
        } else if (!hx && hy) {
            for (int x = 0; x < size; ++x)
                dst[x] = static_cast<uint8_t>((a[x] + c[x] + 1 - r) >> 1);
        } else {
            for (int x = 0; x < size; ++x)
                dst[x] = static_cast<uint8_t>((a[x] + a[x + 1] + c[x] + c[x + 1] + 2 - r) >> 2);
        }
    }
}

namespace {

constexpr int kRound4[4] = {0, 1, 1, 1};
constexpr int kRound16[16] = {0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2};

inline int sign_of(int v) {
    return v <= 0 ? -1 : 1;
}

} // namespace

int chroma_from_vector(int v) {
    const int a = std::abs(v);
    return sign_of(v) * (kRound4[a % 4] + 2 * (a / 4));
}

int chroma_from_sum(int s) {
    const int a = std::abs(s);
    return sign_of(s) * (kRound16[a % 16] + 2 * (a / 16));
}

namespace {

void predict_luma(DecoderState& s, int px, int py, int size, uint8_t* dst) {
    px = std::clamp(px, -64, 2 * s.width - 2 * size + 64);
    py = std::clamp(py, -64, 2 * s.height - 2 * size + 64);
    const int stride = s.layout.luma_stride;
    const uint8_t* src = s.ref_y() + (py >> 1) * stride + (px >> 1);
    s.dsp->mc_block(dst, stride, src, stride, size, px & 1, py & 1, s.vop.rounding);
}

void predict_chroma(DecoderState& s, int cx, int cy, int col, int row) {
    cx = std::clamp(cx, -32, s.width + 16);
    cy = std::clamp(cy, -32, s.height + 16);
    const int stride = s.layout.chroma_stride;
    const ptrdiff_t offset = ptrdiff_t{cy >> 1} * stride + (cx >> 1);
    const ptrdiff_t out = ptrdiff_t{8 * row} * stride + 8 * col;
    s.dsp->mc_block(s.cur_cb() + out, stride, s.ref_cb() + offset, stride, 8, cx & 1, cy & 1,
                    s.vop.rounding);
    s.dsp->mc_block(s.cur_cr() + out, stride, s.ref_cr() + offset, stride, 8, cx & 1, cy & 1,
                    s.vop.rounding);
}

} // namespace

void predict_macroblock(DecoderState& s, int col, int row, const MacroblockVectors& mv,
                        bool four_vectors) {
    const ptrdiff_t ls = s.layout.luma_stride;
    uint8_t* luma = s.cur_y() + 16 * row * ls + 16 * col;
    const int bx = 32 * col; // half-sample units
    const int by = 32 * row;
    int cvx, cvy;
    if (!four_vectors) {
        predict_luma(s, bx + mv[0].x, by + mv[0].y, 16, luma);
        cvx = chroma_from_vector(mv[0].x);
        cvy = chroma_from_vector(mv[0].y);
    } else {
        int sx = 0, sy = 0;
        for (int b = 0; b < 4; ++b) {
            const int ox = (b & 1) * 16;
            const int oy = (b >> 1) * 16;
            uint8_t* dst = luma + oy / 2 * ls + ox / 2;
            predict_luma(s, bx + ox + mv[1 + b].x, by + oy + mv[1 + b].y, 8, dst);
            sx += mv[1 + b].x;
            sy += mv[1 + b].y;
        }
        cvx = chroma_from_sum(sx);
        cvy = chroma_from_sum(sy);
    }
    predict_chroma(s, 16 * col + cvx, 16 * row + cvy, col, row);
}

namespace {

// Fixed-size row copies compile to single vector moves.
template <size_t Width, int Rows>
inline void copy_rows(uint8_t* dst, const uint8_t* src, ptrdiff_t stride) {
    for (int y = 0; y < Rows; ++y, dst += stride, src += stride)
        std::memcpy(dst, src, Width);
}

} // namespace

void copy_macroblock(DecoderState& s, int col, int row) {
    const ptrdiff_t ls = s.layout.luma_stride, cs = s.layout.chroma_stride;
    const ptrdiff_t luma = 16 * row * ls + 16 * col;
    const ptrdiff_t chroma = 8 * row * cs + 8 * col;
    copy_rows<16, 16>(s.cur_y() + luma, s.ref_y() + luma, ls);
    copy_rows<8, 8>(s.cur_cb() + chroma, s.ref_cb() + chroma, cs);
    copy_rows<8, 8>(s.cur_cr() + chroma, s.ref_cr() + chroma, cs);
}

} // namespace kestrova::mpeg4

#pragma once

// The decoder's private state. It extends the public DECODER record, so the
// caller-visible fields stay at the start of the allocation.

#include "codec/mpeg4/bitreader.h"
#include "codec/mpeg4/decoder.h"
#include "codec/mpeg4/dsp.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace kestrova::mpeg4 {

inline constexpr int kMaxWidth = 1024;
inline constexpr int kMaxHeight = 768;
inline constexpr int kMaxMacroblocks = (kMaxWidth / 16) * (kMaxHeight / 16);
inline constexpr int kLumaBorder = 32;
inline constexpr int kChromaBorder = 16;

enum class PictureType { I = 0, P = 1, B = 2, S = 3 };

// Macroblock types as numbered by the P-picture MCBPC code.
enum class MbType { Inter = 0, InterQ = 1, Inter4V = 2, Intra = 3, IntraQ = 4 };

// What later intra blocks predict from: the reconstructed DC and the
// quantised first row and first column (after prediction).
struct BlockPrediction {
    int32_t dc;
    int32_t row[7];
    int32_t col[7];
};

struct MacroblockRecord {
    BlockPrediction blocks[6];
};

// Kept apart from the large prediction records: every macroblock of every
// picture writes these, and eight of them share a cache line.
struct MacroblockInfo {
    int32_t qp;
    bool intra;
};

struct MotionVector {
    int32_t x;
    int32_t y;
};

// Entry 0: the macroblock's vector; entries 1..4: luma blocks Y1..Y4.
using MacroblockVectors = std::array<MotionVector, 5>;

struct Layout {
    int mb_cols = 0;
    int mb_rows = 0;
    int luma_stride = 0;   // reference store
    int chroma_stride = 0; // reference store
};

struct StreamParams {
    int time_resolution = 1;
    int time_bits = 1;
    int quant_type = 0; // 0: H.263 method, 1: MPEG method
    int64_t seconds = 0;
    uint8_t intra_matrix[64];
    uint8_t inter_matrix[64];
};

struct VopParams {
    PictureType type = PictureType::I;
    bool coded = true;
    int quant = 1;
    int rounding = 0;
    int fcode = 1;
    int intra_dc_vlc_thr = 0;
};

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
// A zero-filled array from calloc.
template <typename T> using ZeroedArray = std::unique_ptr<T[], FreeDeleter>;

struct DecoderState : DECODER {
    // Two bordered stores per plane: the picture being decoded and the
    // previous one (the reference, its borders replicated). They swap roles
    // after every decoded picture, so no picture is copied between them.
    ZeroedArray<uint8_t> y_store[2], cb_store[2], cr_store[2];
    int current = 0; // index of the store being decoded into
    ZeroedArray<MacroblockRecord> mbs;
    ZeroedArray<MacroblockInfo> mb_info;
    ZeroedArray<MacroblockVectors> mvs;
    // Version of each macroblock's samples in each store; equal versions
    // mean equal samples. A skipped macroblock whose store already holds the
    // reference's samples (it was skipped in the previous picture too) then
    // needs no copy. Every decoded macroblock gets the picture's own version.
    ZeroedArray<uint64_t> mb_version[2];
    uint64_t last_version = 0;
    uint64_t picture_version = 0;

    Layout layout;
    StreamParams stream;
    VopParams vop;
    BitReader br;
    const Dsp* dsp = nullptr;

    // Index of the first macroblock of the current video packet; prediction
    // never reaches across a packet start.
    int packet_start = 0;

    int64_t output_capacity = -1; // < 0: unlimited

    // Set while a picture is decoded without deblocking: each finished
    // macroblock row gets its side borders at once and, when row_output is
    // set, is copied to the caller's buffer while it is still in the cache.
    bool rows_finished_early = false;
    uint8_t* row_output = nullptr;
    int32_t filter_strength = 0; // running deblocking strength

    alignas(32) int32_t coeffs[64];

    // First picture sample of each plane; lines are layout.luma_stride or
    // layout.chroma_stride apart.
    uint8_t* cur_y() { return luma_origin(y_store[current]); }
    uint8_t* cur_cb() { return chroma_origin(cb_store[current]); }
    uint8_t* cur_cr() { return chroma_origin(cr_store[current]); }
    uint8_t* ref_y() { return luma_origin(y_store[current ^ 1]); }
    uint8_t* ref_cb() { return chroma_origin(cb_store[current ^ 1]); }
    uint8_t* ref_cr() { return chroma_origin(cr_store[current ^ 1]); }

private:
    uint8_t* luma_origin(const ZeroedArray<uint8_t>& a) const {
        return a.get() + kLumaBorder * layout.luma_stride + kLumaBorder;
    }
    uint8_t* chroma_origin(const ZeroedArray<uint8_t>& a) const {
        return a.get() + kChromaBorder * layout.chroma_stride + kChromaBorder;
    }
};

// Recomputes the layout values from width and height.
void derive_layout(DecoderState& s);

// Gives every macroblock of the store a version no other store holds (its
// samples are unknown or changed throughout).
void set_fresh_version(DecoderState& s, int store);

// Called after the last macroblock of each row (see rows_finished_early).
void finish_macroblock_row(DecoderState& s, int row);

} // namespace kestrova::mpeg4

// Code tables, coefficient and DC decoding, intra prediction arithmetic and
// the layer and picture headers, on hand-made bit strings.

#include "codec/mpeg4/block.h"
#include "codec/mpeg4/decoder.h"
#include "codec/mpeg4/dequant.h"
#include "codec/mpeg4/headers.h"
#include "codec/mpeg4/intra.h"
#include "codec/mpeg4/macroblock.h"
#include "codec/mpeg4/mv_pred.h"
#include "codec/mpeg4/vlc.h"
#include "codec/mpeg4/vlc_tables.h"
#include "mpeg4/clip_support.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace kestrova::mpeg4 {
namespace {

using testing::BitWriter;
using testing::Bytes;

TEST(Tables, CodesArePrefixFreeAndScansArePermutations) {
    EXPECT_TRUE(vlc_tables().valid);
    for (const uint8_t* scan : {kZigzagScan, kAltHorizontalScan, kAltVerticalScan}) {
        std::array<int, 64> seen{};
        for (int i = 0; i < 64; ++i)
            ++seen[scan[i]];
        for (int n : seen)
            EXPECT_EQ(n, 1);
    }
    // The vertical alternate scan is the horizontal one transposed.
    for (int i = 0; i < 64; ++i) {
        const int h = kAltHorizontalScan[i];
        EXPECT_EQ(kAltVerticalScan[i], (h % 8) * 8 + h / 8);
    }
}

TEST(Tables, EscapeOffsets) {
    const VlcTables& t = vlc_tables();
    EXPECT_EQ(t.lmax[1][0][0], 27); // intra, last 0, run 0
    EXPECT_EQ(t.lmax[1][1][0], 8);
    EXPECT_EQ(t.lmax[0][0][0], 12); // inter
    EXPECT_EQ(t.lmax[0][0][1], 6);
    EXPECT_EQ(t.lmax[0][1][0], 3);
    EXPECT_EQ(t.rmax[0][0][1], 26);
    EXPECT_EQ(t.rmax[0][1][1], 40);
    EXPECT_EQ(t.rmax[1][0][1], 14);
    EXPECT_EQ(t.rmax[1][1][1], 20);
    EXPECT_EQ(t.rmax[0][0][2], 10);
}

struct Coded {
    bool ok;
    std::array<int32_t, 64> qf;
    int count;
};

Coded decode(const Bytes& bits, bool intra, int start = 0) {
    BitReader br;
    br.reset(bits.data(), bits.size());
    Coded c{};
    uint8_t positions[64];
    c.ok = decode_coefficients(br, vlc_tables(), intra, kZigzagScan, start, c.qf.data(), positions,
                               &c.count);
    return c;
}

TEST(Coefficients, RegularAndEscapedSymbols) {
    BitWriter w;
    w.put(0b10, 2);      // inter (0, 0, 1)
    w.put(1, 1);         // negative
    w.put(0b0000011, 7); // escape
    w.put(0, 1);         // mode 1
    w.put(0b10, 2);      // (0, 0, 1): level 1 + 12
    w.put(0, 1);
    w.put(0b0000011, 7); // escape
    w.put(0b10, 2);      // mode 2
    w.put(0b110, 3);     // (0, 1, 1): run 1 + 26 + 1
    w.put(0, 1);
    w.put(0b0000011, 7); // escape
    w.put(0b11, 2);      // mode 3
    w.put(1, 1);         // last
    w.put(2, 6);         // run 2
    w.put(1, 1);
    w.put(4095, 12); // -1
    w.put(1, 1);
    const Coded c = decode(w.out, false);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.count, 4);
    EXPECT_EQ(c.qf[kZigzagScan[0]], -1);
    EXPECT_EQ(c.qf[kZigzagScan[1]], 13);
    EXPECT_EQ(c.qf[kZigzagScan[30]], 1);
    EXPECT_EQ(c.qf[kZigzagScan[33]], -1);
}

TEST(Coefficients, InvalidCodeAndRunPastTheBlockFail) {
    BitWriter bad;
    bad.put(0, 12); // no code word starts with twelve zeros
    bad.put(0, 8);
    EXPECT_FALSE(decode(bad.out, false).ok);
    EXPECT_FALSE(decode(bad.out, true, 1).ok);

    BitWriter run;
    run.put(0b0000011, 7); // escape, mode 3, last, run 63 from position 1
    run.put(0b11, 2);
    run.put(1, 1);
    run.put(63, 6);
    run.put(1, 1);
    run.put(5, 12);
    run.put(1, 1);
    EXPECT_TRUE(decode(run.out, false, 0).ok);
    EXPECT_FALSE(decode(run.out, true, 1).ok);

    // Escape within an escape is not a symbol.
    BitWriter twice;
    twice.put(0b0000011, 7);
    twice.put(0, 1);
    twice.put(0b0000011, 7);
    twice.put(0, 9);
    EXPECT_FALSE(decode(twice.out, false).ok);
}

// The decoders that inverse quantise as they read give the values (and stop
// at the bit) of plain decoding followed by the H.263 inverse quantisation,
// on random bit strings: regular codes, every escape mode and invalid codes.
TEST(Coefficients, H263DecodingWhileReadingMatchesSeparateSteps) {
    std::mt19937 rng(17);
    const VlcTables& t = vlc_tables();
    int decoded = 0;
    for (int trial = 0; trial < 4000; ++trial) {
        Bytes bits(24);
        for (uint8_t& b : bits)
            b = static_cast<uint8_t>(rng());
        const int qp = std::array{1, 2, 7, 16, 31}[trial % 5];
        const bool intra = (trial / 5) % 2 != 0;
        const uint8_t* scan =
            std::array{kZigzagScan, kAltHorizontalScan, kAltVerticalScan}[(trial / 10) % 3];
        BitReader plain, fused;
        plain.reset(bits.data(), bits.size());
        fused.reset(bits.data(), bits.size());
        int32_t expect[64] = {}, got[64] = {};
        uint64_t written = 0;
        bool ok_plain, ok_fused;
        if (intra) {
            ok_plain = decode_intra_coefficients(plain, t, scan, expect, &written);
            ok_fused = decode_intra_h263(fused, t, qp, scan, got);
            // The first row and column stay quantised.
            int32_t edge[64] = {};
            for (int i = 1; i < 8; ++i) {
                edge[i] = expect[i];
                edge[8 * i] = expect[8 * i];
            }
            dequant_intra_h263(expect, written, qp, 8);
            for (int i = 1; i < 8; ++i) {
                expect[i] = edge[i];
                expect[8 * i] = edge[8 * i];
            }
        } else {
            ok_plain = decode_coefficients(plain, t, false, kZigzagScan, 0, expect);
            int32_t columns[64] = {};
            ok_fused = decode_inter_h263(fused, t, qp, columns);
            for (int i = 0; i < 64; ++i)
                got[i] = columns[(i % 8) * 8 + i / 8];
            dequant_inter(expect, qp, 0, nullptr);
        }
        ASSERT_EQ(ok_plain, ok_fused) << "trial " << trial;
        if (!ok_plain)
            continue;
        ++decoded;
        EXPECT_EQ(plain.bit_position(), fused.bit_position()) << "trial " << trial;
        for (int i = intra ? 1 : 0; i < 64; ++i)
            ASSERT_EQ(expect[i], got[i]) << "trial " << trial << " position " << i;
    }
    EXPECT_GT(decoded, 1000);
}

// Vector differences: magnitude code, sign and fcode - 1 residual bits, for
// every fcode and the shortest and longest magnitude codes, back to back.
TEST(Vectors, DifferenceCodesForEveryFcode) {
    struct Case {
        int magnitude, residual;
        bool negative;
    };
    for (int fcode = 1; fcode <= 7; ++fcode) {
        const int f = 1 << (fcode - 1);
        BitWriter w;
        std::vector<int> expect;
        for (const Case c : {Case{0, 0, false}, Case{1, 0, true}, Case{32, f - 1, false},
                             Case{5, f / 2, true}, Case{31, 0, false}}) {
            w.put(kMvMagnitude[c.magnitude].code, kMvMagnitude[c.magnitude].len);
            if (c.magnitude == 0) {
                expect.push_back(0);
                continue;
            }
            w.put(c.negative ? 1 : 0, 1);
            if (fcode > 1)
                w.put(static_cast<uint32_t>(c.residual), fcode - 1);
            const int d = (c.magnitude - 1) * f + c.residual + 1;
            expect.push_back(c.negative ? -d : d);
        }
        const size_t bits = w.out.size() * 8 - size_t(w.used == 8 ? 0 : 8 - w.used);
        w.put(0x3ff, 10); // whatever follows stays unread
        BitReader br;
        br.reset(w.out.data(), w.out.size());
        for (size_t i = 0; i < expect.size(); ++i) {
            int diff = 12345;
            ASSERT_TRUE(read_vector_difference(br, vlc_tables(), fcode, diff));
            EXPECT_EQ(diff, expect[i]) << "fcode " << fcode << " case " << i;
        }
        EXPECT_EQ(br.bit_position(), bits) << "fcode " << fcode;
    }
}

TEST(Coefficients, DcDifferential) {
    BitWriter w;
    w.put(0b101, 3);       // size 3, +5
    w.put(0b010, 3);       // size 3, 2 - 7 = -5
    w.put(0b100000000, 9); // size 9, +256, then a marker
    w.put(1, 1);
    w.put(0b1, 1); // size 1, +1
    BitReader br;
    br.reset(w.out.data(), w.out.size());
    EXPECT_EQ(read_dc_differential(br, 3), 5);
    EXPECT_EQ(read_dc_differential(br, 3), -5);
    EXPECT_EQ(read_dc_differential(br, 9), 256);
    EXPECT_EQ(read_dc_differential(br, 1), 1);
    EXPECT_EQ(read_dc_differential(br, 0), 0);
}

TEST(Macroblock, QuantiserSteps) {
    EXPECT_EQ(apply_dquant(31, 3), 31);
    EXPECT_EQ(apply_dquant(1, 1), 1);
    EXPECT_EQ(apply_dquant(10, 0), 9);
    EXPECT_EQ(apply_dquant(10, 2), 11);
}

TEST(IntraPrediction, MissingPredictorAndQuantiserScaling) {
    int32_t qf[64] = {5};
    apply_intra_prediction(qf, {1, nullptr, 0}, true, 4, 8);
    EXPECT_EQ(qf[0], 5 + 128); // 1024 // 8, no AC prediction
    EXPECT_EQ(qf[8], 0);

    BlockPrediction src{};
    src.dc = 400;
    for (int i = 0; i < 7; ++i) {
        src.row[i] = 10 + i;
        src.col[i] = -3 - i;
    }
    int32_t a[64] = {};
    apply_intra_prediction(a, {2, &src, 4}, true, 8, 16);
    EXPECT_EQ(a[0], 25); // 400 // 16
    EXPECT_EQ(a[1], 5);  // (10 x 4) // 8
    EXPECT_EQ(a[2], 6);  // 44 // 8 = 5.5 -> 6
    EXPECT_EQ(a[8], 0);  // rows only from above
    int32_t b[64] = {};
    apply_intra_prediction(b, {1, &src, 8}, true, 8, 16);
    EXPECT_EQ(b[8], -3); // same quantiser: unscaled
    EXPECT_EQ(b[56], -9);
    EXPECT_EQ(b[1], 0);
    int32_t c[64] = {2040};
    src.dc = 1600;
    apply_intra_prediction(c, {1, &src, 8}, false, 8, 8);
    EXPECT_EQ(c[0], 2047); // clamped
    EXPECT_EQ(c[8], 0);    // ac_pred clear
}

TEST(IntraPrediction, NeighboursOutsideThePictureOrNotIntra) {
    auto* d = reinterpret_cast<DECODER*>(decoder_create());
    ASSERT_NE(d, nullptr);
    auto& s = static_cast<DecoderState&>(*d);
    // First macroblock: every neighbour outside; gradient of 1024s picks A.
    IntraPredictor p = choose_intra_predictor(s, 0, 0, 0);
    EXPECT_EQ(p.source, nullptr);
    // Y2 of the first macroblock predicts from its own Y1 once it is intra.
    s.mb_info[0].intra = true;
    s.mbs[0].blocks[0].dc = 1000;
    p = choose_intra_predictor(s, 0, 0, 1);
    EXPECT_EQ(p.direction, 1);
    EXPECT_EQ(p.source, &s.mbs[0].blocks[0]);
    // Macroblock (1, 1) with an intra macroblock above and inter ones left:
    // the DC gradient decides, unavailable DCs count as 1024.
    const int cols = s.layout.mb_cols;
    s.mb_info[1].intra = true;
    s.mb_info[1].qp = 6;
    s.mbs[1].blocks[2].dc = 500;
    s.mb_info[cols].intra = false;
    s.mb_info[0].intra = false;
    p = choose_intra_predictor(s, 1, 1, 0);
    // |A - B| = 0 < |B - C| = 524: from above.
    EXPECT_EQ(p.direction, 2);
    EXPECT_EQ(p.source, &s.mbs[1].blocks[2]);
    EXPECT_EQ(p.qp, 6);
    // The same neighbour behind a packet start is unavailable.
    s.packet_start = cols + 1;
    p = choose_intra_predictor(s, 1, 1, 0);
    EXPECT_EQ(p.source, nullptr);
    decoder_destroy(d);
}

TEST(Headers, TimeIncrementBits) {
    EXPECT_EQ(time_increment_bits(30000), 15);
    EXPECT_EQ(time_increment_bits(1024), 10);
    EXPECT_EQ(time_increment_bits(1025), 11);
    EXPECT_EQ(time_increment_bits(25), 5);
    EXPECT_EQ(time_increment_bits(2), 1);
    EXPECT_EQ(time_increment_bits(1), 1);
    EXPECT_EQ(time_increment_bits(65535), 16);
}

// A layer header with every optional field present, followed by a start code.
Bytes full_layer(int verid, bool quarter_sample, int width, int height) {
    BitWriter w;
    w.put(0x00000120, 32);
    w.put(0, 1);
    w.put(1, 8);
    w.put(1, 1); // is_object_layer_identifier
    w.put(static_cast<uint32_t>(verid), 4);
    w.put(3, 3);
    w.put(15, 4); // pixel ratio given as width and height
    w.put(12, 8);
    w.put(11, 8);
    w.put(1, 1); // vol_control_parameters
    w.put(1, 2);
    w.put(1, 1);
    w.put(1, 1); // vbv parameters
    w.put(0x1234, 15);
    w.put(1, 1);
    w.put(0x0555, 15);
    w.put(1, 1);
    w.put(0x2222, 15);
    w.put(1, 1);
    w.put(5, 3);
    w.put(0x123, 11);
    w.put(1, 1);
    w.put(0x4444, 15);
    w.put(1, 1);
    w.put(0, 2); // rectangular
    w.put(1, 1);
    w.put(30000, 16);
    w.put(1, 1);
    w.put(1, 1); // fixed rate
    w.put(1001, 15);
    w.put(1, 1);
    w.put(static_cast<uint32_t>(width), 13);
    w.put(1, 1);
    w.put(static_cast<uint32_t>(height), 13);
    w.put(1, 1);
    w.put(0, 1); // interlaced
    w.put(1, 1);
    w.put(0, verid == 1 ? 1 : 2);
    w.put(0, 1);
    w.put(1, 1); // quant_type
    w.put(1, 1); // custom intra matrix: 8, 20, 30, then repeat 30
    w.put(8, 8);
    w.put(20, 8);
    w.put(30, 8);
    w.put(0, 8);
    w.put(0, 1); // default inter matrix
    if (verid != 1)
        w.put(quarter_sample ? 1 : 0, 1);
    w.put(1, 1); // complexity estimation disabled
    w.put(0, 1);
    w.put(0, 1);
    if (verid != 1)
        w.put(0, 2);
    w.put(0, 1);
    w.stuff();
    w.put(0x000001B6, 32);
    return w.out;
}

TEST(Headers, LayerWithEveryOptionalField) {
    Bytes b = full_layer(2, false, 352, 288);
    BitReader br;
    br.reset(b.data(), b.size());
    LayerInfo info;
    ASSERT_TRUE(parse_layer_header(br, info));
    EXPECT_EQ(info.width, 352);
    EXPECT_EQ(info.height, 288);
    EXPECT_EQ(info.time_resolution, 30000);
    EXPECT_EQ(info.quant_type, 1);
    EXPECT_TRUE(info.custom_intra);
    EXPECT_FALSE(info.custom_inter);
    EXPECT_EQ(info.intra_matrix[0], 8);
    EXPECT_EQ(info.intra_matrix[1], 20);
    EXPECT_EQ(info.intra_matrix[8], 30);
    EXPECT_EQ(info.intra_matrix[63], 30);
    EXPECT_EQ(info.inter_matrix[0], kDefaultInterMatrix[0]);
    EXPECT_EQ(br.byte_pos(), b.size() - 4); // at the next start code
}

TEST(Headers, UnsupportedToolsAndSizesAreRefused) {
    for (const Bytes& b : {full_layer(2, true, 176, 144), full_layer(1, false, 1040, 144),
                           full_layer(1, false, 176, 784), full_layer(1, false, 0, 144),
                           full_layer(1, false, 180, 144)}) {
        BitReader br;
        br.reset(b.data(), b.size());
        LayerInfo info;
        EXPECT_FALSE(parse_layer_header(br, info));
    }
    Bytes ok = full_layer(1, false, 1024, 768);
    BitReader br;
    br.reset(ok.data(), ok.size());
    LayerInfo info;
    EXPECT_TRUE(parse_layer_header(br, info));
}

TEST(Headers, CameraLayoutIsRecognisedByItsLength) {
    // The camera's 14 bytes, whose tail would make the full syntax fail
    // (complexity estimation flag clear).
    BitWriter w;
    w.put(0x00000120, 32);
    w.put(0, 1);
    w.put(1, 8);
    w.put(1, 1); // flags whose fields the camera leaves out
    w.put(15, 4);
    w.put(1, 1);
    w.put(0, 2);
    w.put(1, 1);
    w.put(1000, 16);
    w.put(1, 1);
    w.put(1, 1); // fixed rate, no increment follows
    w.put(1, 1);
    w.put(320, 13);
    w.put(1, 1);
    w.put(240, 13);
    w.put(0b100001, 6); // quant_type 1
    w.put(0, 10);
    ASSERT_EQ(w.out.size(), 14u);
    w.put(0x000001B6, 32);
    BitReader br;
    br.reset(w.out.data(), w.out.size());
    LayerInfo info;
    ASSERT_TRUE(parse_layer_header(br, info));
    EXPECT_EQ(info.width, 320);
    EXPECT_EQ(info.height, 240);
    EXPECT_EQ(info.time_resolution, 1000);
    EXPECT_EQ(info.quant_type, 1);
    EXPECT_EQ(br.byte_pos(), 14u);
}

TEST(Headers, VopHeader) {
    StreamParams stream;
    stream.time_bits = 5;
    BitWriter w;
    w.put(0x000001B6, 32);
    w.put(1, 2);     // P
    w.put(0b110, 3); // two seconds
    w.put(1, 1);
    w.put(17, 5);
    w.put(1, 1);
    w.put(1, 1); // coded
    w.put(1, 1); // rounding
    w.put(0, 3);
    w.put(9, 5);
    w.put(3, 3);
    BitReader br;
    br.reset(w.out.data(), w.out.size());
    VopParams vop;
    ASSERT_TRUE(parse_vop_header(br, stream, vop));
    EXPECT_EQ(vop.type, PictureType::P);
    EXPECT_EQ(stream.seconds, 2);
    EXPECT_TRUE(vop.coded);
    EXPECT_EQ(vop.rounding, 1);
    EXPECT_EQ(vop.quant, 9);
    EXPECT_EQ(vop.fcode, 3);

    Bytes wrong = w.out;
    wrong[3] = 0xB5;
    br.reset(wrong.data(), wrong.size());
    EXPECT_FALSE(parse_vop_header(br, stream, vop));
}

} // namespace
} // namespace kestrova::mpeg4

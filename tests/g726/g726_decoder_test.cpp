#include "codec/g726/g726.h"
#include "codec/g726/g726_adpcm_impl.h"
#include "codec/g726/g726_frame.h"
#include "codec/g726/lowpass_filter.h"
#include "g726/test_signals.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <utility>
#include <vector>

namespace kestrova::g726 {
namespace {

struct StateDeleter {
    void operator()(int* s) const { G726_decoder_destroy(s); }
};
using Decoder = std::unique_ptr<int, StateDeleter>;

Decoder newDecoder() {
    Decoder d(G726_decoder_create());
    EXPECT_NE(d, nullptr);
    return d;
}

std::vector<int16_t> decode(int* state, int bits, std::vector<uint8_t> data) {
    std::vector<int16_t> out(8 * data.size() + 8, 0x5555);
    const int n = G726_dec(state, bits, data.data(), static_cast<int>(data.size()), out.data());
    EXPECT_GE(n, 0);
    out.resize(std::max(n, 0));
    return out;
}

// Decodes the given code words one by one through a fresh state: what the
// unpacker must reproduce.
std::vector<int16_t> decodeCodes(int bits, const std::vector<unsigned>& codes) {
    AdpcmState adpcm;
    LowPassFilter filter;
    std::vector<int16_t> out;
    for (unsigned code : codes) {
        out.push_back(filter.process(toPcm(decodeCodeWord(adpcm, *rateTables(bits), code))));
    }
    return out;
}

std::vector<uint8_t> pseudoRandomBytes(size_t n, uint32_t seed) {
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(seed >> 24);
    }
    return bytes;
}

TEST(G726Unpacking, CodeWordsAreReadMostSignificantBitFirst) {
    for (size_t n : {1u, 7u, 160u}) {
        Decoder d = newDecoder();
        EXPECT_EQ(decode(d.get(), 4, pseudoRandomBytes(n, 3)).size(), 2 * n);
    }
    // 0b101'110'01 0b1'010'011'1: 3-bit codes 5, 6, 3, 2, 3; 5-bit codes
    // 0b10111, 0b00110, 0b10011 (one bit left); 4-bit: high nibble first.
    const std::vector<uint8_t> bytes = {0xB9, 0xA7};
    for (auto [bits, codes] : {std::pair{2, std::vector<unsigned>{2, 3, 2, 1, 2, 2, 1, 3}},
                               {3, {5, 6, 3, 2, 3}},
                               {4, {0xB, 0x9, 0xA, 0x7}},
                               {5, {0x17, 0x06, 0x13}}}) {
        Decoder d = newDecoder();
        EXPECT_EQ(decode(d.get(), bits, bytes), decodeCodes(bits, codes)) << bits;
    }
}

TEST(G726Unpacking, LeftoverBitsCarryIntoTheNextCall) {
    // One 3-bit byte: two samples, two bits left that head the next code.
    Decoder d = newDecoder();
    EXPECT_EQ(decode(d.get(), 3, {0xB9}).size(), 2u);
    const auto next = decode(d.get(), 3, {0xA7});
    const auto whole = decodeCodes(3, {5, 6, 3, 2, 3});
    EXPECT_EQ(next, std::vector<int16_t>(whole.begin() + 2, whole.end()));

    // Length 0 still decodes what fits in the carried bits: 5-bit codes
    // leave 3 bits of one byte, which hold one 2-bit code.
    Decoder e = newDecoder();
    EXPECT_EQ(decode(e.get(), 5, {0xB9}).size(), 1u);
    EXPECT_EQ(decode(e.get(), 2, {}).size(), 1u);
    EXPECT_EQ(decode(e.get(), 2, {}).size(), 0u);
}

// Any split of a stream into frames decodes to the same samples.
TEST(G726Unpacking, FrameSplitsDoNotChangeTheSamples) {
    const auto stream = pseudoRandomBytes(3000, 17);
    for (int bits = 2; bits <= 5; ++bits) {
        Decoder whole = newDecoder();
        const auto expected = decode(whole.get(), bits, stream);
        ASSERT_EQ(expected.size(), stream.size() * 8 / bits);
        for (size_t frame : {1u, 3u, 40u, 160u, 1000u}) {
            Decoder d = newDecoder();
            std::vector<int16_t> got;
            for (size_t pos = 0; pos < stream.size(); pos += frame) {
                const auto part = decode(
                    d.get(), bits,
                    {stream.begin() + pos, stream.begin() + std::min(pos + frame, stream.size())});
                got.insert(got.end(), part.begin(), part.end());
            }
            EXPECT_EQ(got, expected) << bits << " bits, frames of " << frame;
        }
    }
}

// Every build of the frame loop (plain, AVX2) decodes alike, on random
// streams and on runs of extreme codes.
TEST(G726Decoder, AllFrameLoopBuildsAgree) {
    const auto builds = frameDecoderBuilds();
    ASSERT_GE(builds.size(), 1u);
    std::vector<std::vector<uint8_t>> streams = {pseudoRandomBytes(4000, 8),
                                                 std::vector<uint8_t>(1000, 0x88),
                                                 std::vector<uint8_t>(1000, 0x7F)};
    for (const auto& stream : streams) {
        for (int bits = 2; bits <= 5; ++bits) {
            std::vector<std::vector<int16_t>> outputs;
            for (const auto& build : builds) {
                DecoderState state;
                std::vector<int16_t> out(stream.size() * 8 / bits);
                const int n = build.decode(state, *rateTables(bits), stream.data(),
                                           static_cast<int>(stream.size()), out.data());
                ASSERT_EQ(static_cast<size_t>(n), out.size()) << build.name;
                outputs.push_back(out);
            }
            for (size_t i = 1; i < outputs.size(); ++i) {
                EXPECT_EQ(outputs[i], outputs[0]) << builds[i].name << " at " << bits << " bits";
            }
        }
    }
}

// Two streams decoded in alternation keep their own leftover bits and
// histories: each comes out as if decoded alone.
TEST(G726Decoder, InterleavedStreamsDoNotDisturbEachOther) {
    const auto a = pseudoRandomBytes(200, 1);
    const auto b = pseudoRandomBytes(200, 2);
    Decoder aloneA = newDecoder();
    Decoder aloneB = newDecoder();
    const auto expectedA = decode(aloneA.get(), 3, a);
    const auto expectedB = decode(aloneB.get(), 5, b);

    Decoder da = newDecoder();
    Decoder db = newDecoder();
    std::vector<int16_t> gotA, gotB;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto pa = decode(da.get(), 3, {a[i]});
        const auto pb = decode(db.get(), 5, {b[i]});
        gotA.insert(gotA.end(), pa.begin(), pa.end());
        gotB.insert(gotB.end(), pb.begin(), pb.end());
    }
    EXPECT_EQ(gotA, expectedA);
    EXPECT_EQ(gotB, expectedB);
}

TEST(G726Decoder, ZeroCodesAt32kDecodeToSilence) {
    Decoder d = newDecoder();
    const auto out = decode(d.get(), 4, std::vector<uint8_t>(500, 0));
    ASSERT_EQ(out.size(), 1000u);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t s) { return s == 0; }));
}

TEST(G726Decoder, RefusedCallsWriteNothingAndKeepTheState) {
    const auto stream = pseudoRandomBytes(64, 5);
    Decoder fresh = newDecoder();
    const auto expected = decode(fresh.get(), 3, stream);

    Decoder d = newDecoder();
    std::vector<uint8_t> data = {0xB9};
    std::vector<int16_t> out(64, 0x1234);
    for (int bits : {-1, 0, 1, 6, 8, 32}) {
        EXPECT_EQ(G726_dec(d.get(), bits, data.data(), 1, out.data()), 0) << bits;
    }
    EXPECT_EQ(G726_dec(nullptr, 4, data.data(), 1, out.data()), 0);
    EXPECT_EQ(G726_dec(d.get(), 4, nullptr, 1, out.data()), 0);
    EXPECT_EQ(G726_dec(d.get(), 4, data.data(), 1, nullptr), 0);
    EXPECT_EQ(G726_dec(d.get(), 4, data.data(), -1, out.data()), 0);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t s) { return s == 0x1234; }));
    // Nothing was consumed: the state decodes like a fresh one.
    EXPECT_EQ(decode(d.get(), 3, stream), expected);

    EXPECT_EQ(G726_decoder_destroy(nullptr), -1);
    EXPECT_EQ(G726_decoder_destroy(G726_decoder_create()), 0);
}

// The two blocks other decoders are known to get wrong, on worked values.
TEST(G726Blocks, ScaleFactorMixTruncatesTheProductTowardZero) {
    // yl >> 6 = 544 with the six fraction bits set; al = 32 (ap = 128).
    const uint32_t yl = 544 * 64 + 63;
    EXPECT_EQ(StandardBlocks::scaleFactor(545, yl, 128), 544u); // +1 * 32 / 64 -> 0
    EXPECT_EQ(StandardBlocks::scaleFactor(543, yl, 128), 544u); // -1 * 32 / 64 -> 0, not -1
    EXPECT_EQ(StandardBlocks::scaleFactor(600, yl, 128), 544u + 28);
    EXPECT_EQ(StandardBlocks::scaleFactor(500, yl, 128), 544u - 22);
    EXPECT_EQ(StandardBlocks::scaleFactor(600, yl, 256), 600u); // ap >= 256: fast factor only
    EXPECT_EQ(StandardBlocks::scaleFactor(600, yl, 0), 544u);   // ap = 0: slow factor only
}

TEST(G726Blocks, FortyKbitZeroPredictorLeaksMoreSlowly) {
    // Lane 0: +25600 with agreeing signs, lane 1: -25600 with opposite signs.
    const zero::Lanes b = {25600, 65536 - 25600, 25600, 0, 0, 0, 0, 0};
    const auto plus = static_cast<int32_t>(toFloat(0, 1000));
    const auto minus = static_cast<int32_t>(toFloat(1, 1000));
    const zero::Lanes history = {plus, minus, plus, 32, 32, 32, 32, 32};
    const uint32_t dqPlus = 1000; // sign-magnitude +1000
    const zero::Lanes slow = zero::update(b, history, dqPlus, 9);
    const zero::Lanes fast = zero::update(b, history, dqPlus, 8);
    EXPECT_EQ(slow[0], 25600 + 128 - 50);         // leak 25600 >> 9
    EXPECT_EQ(fast[0], 25600 + 128 - 100);        // leak 25600 >> 8
    EXPECT_EQ(slow[1], 65536 - 25600 - 128 + 50); // a negative coefficient leaks upwards
    EXPECT_EQ(fast[1], 65536 - 25600 - 128 + 100);
    const zero::Lanes idle = zero::update(b, history, 1u << 15, 9); // -0: leak only
    EXPECT_EQ(idle[2], 25600 - 50);
    EXPECT_EQ(slow[6], 0) << "idle lanes must stay 0";
}

// The vector zero predictor against the scalar float product, term by
// term, over random and extreme coefficients and differences.
TEST(G726Blocks, VectorZeroPredictorMatchesScalarProducts) {
    uint32_t seed = 99;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    const uint32_t extremes[] = {0, 1, 3, 4, 32767, 32768, 32769, 65535, 65532, 8191 * 4};
    for (int round = 0; round < 20000; ++round) {
        alignas(32) std::array<int32_t, 8> b{};
        alignas(32) std::array<int32_t, 8> dq{32, 32, 32, 32, 32, 32, 32, 32};
        int32_t expected = 0;
        for (int i = 0; i < 6; ++i) {
            const uint32_t r = next();
            const uint32_t coef = (r & 7) == 0 ? extremes[(r >> 3) % 10] : (r >> 8) & 65535;
            // Floats as the decoder makes them: sign, exponent 0..15, mantissa.
            const uint32_t mag = (next() >> 8) & 32767 >> (next() % 16);
            const uint32_t f = toFloat(next() & 1, mag);
            b[i] = static_cast<int32_t>(coef);
            dq[i] = static_cast<int32_t>(f);
            expected += floatMultiply(coef, f);
        }
        const int32_t got = zero::predict(zero::load(b.data()), zero::load(dq.data()));
        ASSERT_EQ(got & 65535, expected & 65535) << "round " << round;
    }
}

// Overloading input drives the reconstructed signal past what x4 fits in
// 16 bits, and the filter's doubling past 16 bits: both saturate.
TEST(G726Decoder, OutputSaturatesInsteadOfWrapping) {
    EXPECT_EQ(toPcm(8191), 32764);
    EXPECT_EQ(toPcm(8192), 32767);
    EXPECT_EQ(toPcm(-8192), -32768);
    EXPECT_EQ(toPcm(-8193), -32768);
    EXPECT_EQ(toPcm(30000), 32767);

    // The filter's worst case: input signs following its impulse response.
    LowPassFilter probe;
    std::vector<int> response;
    response.push_back(probe.process(16384));
    for (int i = 1; i < 40; ++i) {
        response.push_back(probe.process(0));
    }
    LowPassFilter filter;
    int16_t last = 0;
    for (int i = 39; i >= 0; --i) {
        last = filter.process(response[i] >= 0 ? int16_t{32767} : int16_t{-32768});
    }
    EXPECT_EQ(last, 32767);
}

} // namespace
} // namespace kestrova::g726

#include "net/base64.h"

#include <array>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace kestrova::net {
namespace {

// Independent encoder for round trips.
std::string Encode(const std::vector<uint8_t>& data) {
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        const uint32_t v = data[i] << 16 | data[i + 1] << 8 | data[i + 2];
        for (int s = 18; s >= 0; s -= 6)
            out += alphabet[(v >> s) & 63];
    }
    if (data.size() - i == 1) {
        const uint32_t v = data[i] << 16;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += "==";
    } else if (data.size() - i == 2) {
        const uint32_t v = data[i] << 16 | data[i + 1] << 8;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

std::string AsText(const std::vector<uint8_t>& bytes, int count) {
    return std::string(bytes.begin(), bytes.begin() + count);
}

TEST(Base64, FullGroupNeedsRoomForAllThreeBytes) {
    std::array<uint8_t, 3> out{};
    Base64Decoder roomy;
    EXPECT_EQ(roomy.Decode("YWJj", out), 3);
    EXPECT_EQ(std::string(out.begin(), out.end()), "abc");

    std::array<uint8_t, 3> guard{0xEE, 0xEE, 0xEE};
    Base64Decoder tight;
    EXPECT_EQ(tight.Decode("YWJj", std::span(guard).first(2)), -1);
    EXPECT_EQ(guard[0], 'a'); // the two bytes that fitted are written
    EXPECT_EQ(guard[1], 'b');
    EXPECT_EQ(guard[2], 0xEE); // nothing past the room given

    std::array<uint8_t, 1> one{};
    EXPECT_EQ(Base64Decoder().Decode("YWJj", std::span<uint8_t>()), -1);
    EXPECT_EQ(Base64Decoder().Decode("YQ==", one), -1); // the buffer filled up
}

TEST(Base64, PaddingEndsTheGroupAndTheCall) {
    std::vector<uint8_t> out(16, 0);
    EXPECT_EQ(Base64Decoder().Decode("YQ==", out), 1);
    EXPECT_EQ(out[0], 'a');
    EXPECT_EQ(Base64Decoder().Decode("YWI=", out), 2);
    EXPECT_EQ(AsText(out, 2), "ab");
    // Text after the padding is not decoded.
    EXPECT_EQ(Base64Decoder().Decode("YQ==YWJj", out), 1);
}

TEST(Base64, SkipsCharactersOutsideTheAlphabet) {
    std::vector<uint8_t> out(32, 0);
    const int n = Base64Decoder().Decode("YWRt\r\naW46\n c2Vj*cmV0", out);
    ASSERT_EQ(n, 12);
    EXPECT_EQ(AsText(out, n), "admin:secret");
}

TEST(Base64, UnfinishedGroupIsCarriedToTheNextCall) {
    Base64Decoder decoder;
    std::vector<uint8_t> out(16, 0);
    EXPECT_EQ(decoder.Decode("YWR", out), 0);
    EXPECT_EQ(decoder.PendingCharacters(), 3);
    const int n = decoder.Decode("taW46fg==", out);
    ASSERT_EQ(n, 7);
    EXPECT_EQ(AsText(out, n), "admin:~");
    EXPECT_EQ(decoder.PendingCharacters(), 0);
}

TEST(Base64, RoundTripsRandomDataWithCallerSizedBuffer) {
    std::mt19937 random(7);
    for (int length = 0; length < 200; ++length) {
        std::vector<uint8_t> data(static_cast<std::size_t>(length));
        for (uint8_t& b : data)
            b = static_cast<uint8_t>(random());
        const std::string text = Encode(data);
        // Sized as the callers do: (length / 4) * 3, plus one zeroed byte.
        std::vector<uint8_t> out(text.size() / 4 * 3 + 1, 0);
        const int n = Base64Decoder().Decode(text, out);
        ASSERT_EQ(n, length) << text;
        EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
        EXPECT_EQ(out[static_cast<std::size_t>(n)], 0);
    }
}

} // namespace
} // namespace kestrova::net

// The simulator's MPEG-4 frames in the camera's header form go through the
// project's own decoder: what the viewer will meet on the wire.
#include "codec/mpeg4/decoder.h"
#include "sim/mpeg4_encoder.h"
#include "sim/scene.h"

#include <cmath>
#include <gtest/gtest.h>

namespace kestrova::sim {
namespace {

double LumaPsnr(const std::vector<uint8_t>& a, const uint8_t* b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = static_cast<double>(a[i]) - b[i];
        sum += d * d;
    }
    const double mse = sum / static_cast<double>(a.size());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

void DecodeSequence(Mpeg4Settings s, int frames) {
    std::string error;
    auto encoder = Mpeg4Encoder::Create(s, &error);
    ASSERT_TRUE(encoder) << error;
    auto* decoder = reinterpret_cast<DECODER*>(decoder_create());
    ASSERT_NE(decoder, nullptr);
    const Scene scene(s.width, s.height, s.fps);
    std::vector<uint8_t> out(static_cast<size_t>(6 * 1024 * 768));
    YuvPicture picture;
    for (int n = 0; n < frames; ++n) {
        scene.Render(n, picture);
        EncodedFrame frame;
        ASSERT_TRUE(encoder->Encode(picture, n, frame));
        // The stream headers ride in front of the first frame only, as the display path does it.
        std::vector<uint8_t> input;
        if (n == 0)
            input = encoder->StreamHeaders();
        input.insert(input.end(), frame.data.begin(), frame.data.end());
        int length = static_cast<int>(input.size());
        ASSERT_EQ(decoder_decode(decoder, out.data(), input.data(), &length), 0) << "frame " << n;
        ASSERT_EQ(decoder->width, s.width);
        ASSERT_EQ(decoder->height, s.height);
        ASSERT_EQ(decoder->doubling, 0);
        decoder->deblocking = 0;
        EXPECT_GT(LumaPsnr(picture.y, out.data()), 30.0) << "frame " << n;
    }
    decoder_destroy(decoder);
}

TEST(SimProjectDecoderTest, CameraFormStreamDecodesCloseToTheScene) {
    DecodeSequence({.width = 320, .height = 240, .fps = 15, .gop = 8, .quantiser = 4}, 20);
}

TEST(SimProjectDecoderTest, FourVectorsAndOddMacroblockCounts) {
    DecodeSequence(
        {.width = 176, .height = 144, .fps = 25, .gop = 30, .quantiser = 8, .fourMv = true}, 20);
    DecodeSequence({.width = 704, .height = 480, .fps = 30, .gop = 5, .quantiser = 3}, 8);
}

} // namespace
} // namespace kestrova::sim

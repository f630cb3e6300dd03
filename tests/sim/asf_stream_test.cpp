// The ASF stream read back with an independent reader: header layout, packet
// layout, media objects, key frames, audio frames and motion levels.
#include "asf_reader.h"
#include "sim/asf_muxer.h"
#include "sim/motion_store.h"
#include "sim/mpeg4_camera_form.h"
#include "sim/scene.h"
#include "sim_test_util.h"

#include <gtest/gtest.h>

namespace kestrova::sim::test {
namespace {

// MSB-first bit reader over the layer header, written apart from the simulator's writer.
struct Bits {
    std::string_view s;
    size_t pos = 0;
    uint32_t Get(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++pos)
            v = v << 1 | ((static_cast<uint8_t>(s[pos / 8]) >> (7 - pos % 8)) & 1);
        return v;
    }
};

struct Layer {
    uint32_t resolution = 0, width = 0, height = 0;
    bool fixedForm = false;
};

// Finds the layer header in the stream headers and reads it in the fixed 14-byte form.
Layer ReadLayer(std::string_view config) {
    Layer l;
    const size_t at = config.find(std::string("\x00\x00\x01\x20", 4));
    if (at == std::string_view::npos || at + 14 > config.size())
        return l;
    Bits b{config.substr(at, 14)};
    b.Get(32);
    const uint32_t random = b.Get(1), type = b.Get(8), ident = b.Get(1), ratio = b.Get(4),
                   control = b.Get(1), shape = b.Get(2), m1 = b.Get(1);
    l.resolution = b.Get(16);
    const uint32_t m2 = b.Get(1), fixed = b.Get(1), m3 = b.Get(1);
    l.width = b.Get(13);
    const uint32_t m4 = b.Get(1);
    l.height = b.Get(13);
    const uint32_t tail = b.Get(16); // marker .. stuffing
    const bool nextIsStart = at + 14 == config.size() ||
                             config.substr(at + 14, 3) == std::string_view("\x00\x00\x01", 3);
    l.fixedForm = random == 0 && type == 1 && ident == 0 && ratio == 1 && control == 0 &&
                  shape == 0 && m1 && m2 && fixed == 0 && m3 && m4 && tail == 0xA31F && nextIsStart;
    return l;
}

class AsfStreamTest : public ::testing::Test {
protected:
    std::string Stream(SimOptions o, long ms) {
        sim_ = std::make_unique<CameraSimulator>(o);
        std::string error;
        EXPECT_TRUE(sim_->Start(&error)) << error;
        auto r = Fetch({.url = sim_->BaseUrl() + "img/video.asf", .timeoutMs = ms});
        EXPECT_EQ(r.status, 200);
        return r.body;
    }
    std::unique_ptr<CameraSimulator> sim_;
};

TEST_F(AsfStreamTest, HeaderCarriesTheCameraLayout) {
    SimOptions o;
    o.width = 176;
    o.height = 144;
    o.fps = 25;
    o.audioBits = 3;
    o.asfPacketSize = 1500;
    const std::string body = Stream(o, 300);
    std::string error;
    auto h = ReadAsfHeader(body, &error);
    ASSERT_TRUE(h) << error;
    EXPECT_LE(h->headerObjectSize, 1054u);
    EXPECT_EQ(h->packetSize, 1500u);
    EXPECT_EQ(h->width, 176);
    EXPECT_EQ(h->height, 144);
    EXPECT_EQ(h->fourcc, "M4S2");
    EXPECT_EQ(h->videoConfig.substr(0, 4), std::string("\x00\x00\x01\xB0", 4));
    EXPECT_EQ(h->videoConfig.find(std::string("\x00\x00\x01\xB2", 4)), std::string::npos);
    const Layer layer = ReadLayer(h->videoConfig);
    EXPECT_TRUE(layer.fixedForm);
    EXPECT_EQ(layer.width, 176u);
    EXPECT_EQ(layer.height, 144u);
    EXPECT_EQ(layer.resolution, 25u);
    ASSERT_TRUE(h->hasAudio);
    EXPECT_EQ(h->audioTag, 0x45);
    EXPECT_EQ(h->audioChannels, 1);
    EXPECT_EQ(h->audioRate, 8000);
    EXPECT_EQ(h->audioBits, 3);
}

TEST_F(AsfStreamTest, PacketsFramesAudioAndMotionLevelsFollowTheLayout) {
    SimOptions o;
    o.fps = 25;
    o.gop = 10;
    o.asfPacketSize = 1024;
    const std::string body = Stream(o, 1300);
    std::string error;
    auto h = ReadAsfHeader(body, &error);
    ASSERT_TRUE(h) << error;
    const AsfPackets packets =
        ReadAsfPackets(std::string_view(body).substr(h->dataStart), h->packetSize);
    EXPECT_EQ(packets.error, "");

    const Scene scene(o.width, o.height, o.fps);
    const MotionSetup setup = MotionSetup::Defaults();
    int video = 0, audio = 0, withMotion = 0, nonZeroMotion = 0;
    int64_t expectFrame = 0, expectAudioMs = 0;
    for (const AsfObject& obj : packets.objects) {
        if ((obj.streamByte & 0x7F) == 2) {
            EXPECT_EQ(obj.data.size(), 40u * o.audioBits);
            EXPECT_EQ(obj.presentationMs, expectAudioMs);
            expectAudioMs += 40;
            ++audio;
            continue;
        }
        const int64_t n = expectFrame++;
        EXPECT_EQ(obj.presentationMs, n * 1000 / o.fps);
        EXPECT_EQ(obj.streamByte, n % o.gop == 0 ? 0x81 : 0x01) << "frame " << n;
        EXPECT_EQ(obj.data.substr(0, 4), std::string("\x00\x00\x01\xB6", 4)) << "frame " << n;
        ASSERT_TRUE(obj.motion.has_value());
        ++withMotion;
        const auto expected = MotionLevels(setup, scene.ObjectInCameraCoords(n));
        EXPECT_EQ(*obj.motion, expected) << "frame " << n;
        nonZeroMotion +=
            (*obj.motion)[0] + (*obj.motion)[1] + (*obj.motion)[2] + (*obj.motion)[3] > 0;
        ++video;
    }
    EXPECT_GE(video, 20); // about 1.3 s at 25 frames per second
    EXPECT_GE(audio, 25);
    EXPECT_EQ(withMotion, video);
    EXPECT_EQ(nonZeroMotion, video); // the square always lies in some quadrant
}

TEST_F(AsfStreamTest, SavedAreasChangeTheMotionLevels) {
    SimOptions o;
    o.fps = 25;
    o.audioBits = 0;
    sim_ = std::make_unique<CameraSimulator>(o);
    ASSERT_TRUE(sim_->Start());
    // Area 0 covers the whole picture, the others are off.
    std::string save = "COMMAND: MOT_SAVE_AREA\r\nRES: 3\r\n";
    for (int n = 0; n < 4; ++n) {
        const std::string k = "AREA" + std::to_string(n);
        save += k + "EN: " + (n == 0 ? "1" : "0") + "\r\n" + k + "THD: 1\r\n" + k + "SENS: 1\r\n" +
                k + "TLE: a\r\n" + k + "X1: 0\r\n" + k + "Y1: 0\r\n" + k + "X2: 640\r\n" + k +
                "Y2: 480\r\n";
    }
    ASSERT_EQ(Fetch({.url = sim_->BaseUrl() + "ocxparser.cgi", .postBody = save + "\r\n"}).status,
              200);
    const std::string body =
        Fetch({.url = sim_->BaseUrl() + "img/video.asf", .timeoutMs = 500}).body;
    auto h = ReadAsfHeader(body, nullptr);
    ASSERT_TRUE(h);
    EXPECT_FALSE(h->hasAudio);
    const AsfPackets packets =
        ReadAsfPackets(std::string_view(body).substr(h->dataStart), h->packetSize);
    ASSERT_FALSE(packets.objects.empty());
    const Scene scene(o.width, o.height, o.fps);
    const Rect obj = scene.ObjectInCameraCoords(0);
    const auto levels = *packets.objects.front().motion;
    EXPECT_EQ(levels[0], obj.Area() * 255 / (640 * 480));
    EXPECT_GT(levels[0], 0);
    EXPECT_EQ(levels[1] + levels[2] + levels[3], 0);
}

TEST_F(AsfStreamTest, FaultModesBreakTheStreamWhereNamed) {
    SimOptions o;
    o.fps = 25;
    o.fault = "close-mid-header";
    std::string body = Stream(o, 3000);
    EXPECT_FALSE(ReadAsfHeader(body, nullptr).has_value());
    EXPECT_GT(body.size(), 30u);

    ASSERT_TRUE(sim_->SetFault("stall-after-headers"));
    body = Fetch({.url = sim_->BaseUrl() + "img/video.asf", .timeoutMs = 500}).body;
    auto h = ReadAsfHeader(body, nullptr);
    ASSERT_TRUE(h);
    EXPECT_EQ(body.size(), h->dataStart); // headers, then nothing

    const std::pair<const char*, const char*> broken[] = {
        {"bad-stream-number", "stream number 5"},
        {"oversize-payload", "does not fit its object"},
    };
    for (const auto& [fault, rule] : broken) {
        SCOPED_TRACE(fault);
        ASSERT_TRUE(sim_->SetFault(fault));
        body = Fetch({.url = sim_->BaseUrl() + "img/video.asf", .timeoutMs = 400}).body;
        h = ReadAsfHeader(body, nullptr);
        ASSERT_TRUE(h);
        const AsfPackets packets =
            ReadAsfPackets(std::string_view(body).substr(h->dataStart), h->packetSize);
        EXPECT_NE(packets.error.find(rule), std::string::npos) << packets.error;
        int frames = 0;
        for (const auto& obj : packets.objects)
            frames += (obj.streamByte & 0x7F) == 1;
        EXPECT_EQ(frames, 1); // the first frame was sound
    }

    ASSERT_TRUE(sim_->SetFault("close-mid-frame"));
    body = Fetch({.url = sim_->BaseUrl() + "img/video.asf", .timeoutMs = 3000}).body;
    h = ReadAsfHeader(body, nullptr);
    ASSERT_TRUE(h);
    const std::string_view data = std::string_view(body).substr(h->dataStart);
    EXPECT_NE(data.size() % h->packetSize, 0u); // ends inside a packet
    const AsfPackets packets = ReadAsfPackets(data, h->packetSize);
    EXPECT_EQ(packets.error, "");
    int frames = 0;
    for (const auto& obj : packets.objects)
        frames += (obj.streamByte & 0x7F) == 1;
    EXPECT_EQ(frames, 2);
}

TEST(AsfPacketizerTest, EveryFrameSizeEndsItsPacketWithRoomForTheLevels) {
    // Frame sizes around the packet boundaries are where the end of a frame could
    // leave fewer than four padding bytes.
    const uint32_t size = 256;
    for (size_t frameSize = 0; frameSize < 3 * size; ++frameSize) {
        AsfPacketizer packetizer(size);
        std::string out;
        std::vector<uint8_t> audio(160, 0x55);
        packetizer.AddAudio(audio, 0, out);
        std::vector<uint8_t> frame(frameSize);
        for (size_t i = 0; i < frameSize; ++i)
            frame[i] = static_cast<uint8_t>(i * 7);
        packetizer.AddVideo(frame, true, 40, {1, 2, 3, 4}, out);
        ASSERT_EQ(out.size() % size, 0u) << frameSize;
        const AsfPackets packets = ReadAsfPackets(out, size);
        ASSERT_EQ(packets.error, "") << frameSize;
        ASSERT_EQ(packets.objects.size(), 2u) << frameSize;
        EXPECT_EQ(packets.objects[1].data, std::string(frame.begin(), frame.end()));
        EXPECT_EQ(packets.objects[1].motion, (std::array<uint8_t, 4>{1, 2, 3, 4}));
    }
}

TEST(AsfPacketizerTest, DefectsBreakExactlyTheIntendedRule) {
    std::vector<uint8_t> frame(600, 9);
    AsfPacketizer a(512);
    std::string out;
    a.AddVideo(frame, false, 0, {}, out, AsfDefect::BadStreamNumber);
    EXPECT_EQ(ReadAsfPackets(out, 512).error, "packet 0: stream number 5");
    AsfPacketizer b(512);
    out.clear();
    b.AddVideo(frame, false, 0, {}, out, AsfDefect::Oversize);
    EXPECT_EQ(Le32(out, 14 + 7), 300u); // announced object size
    EXPECT_NE(ReadAsfPackets(out, 512).error.find("does not fit"), std::string::npos);
}

} // namespace
} // namespace kestrova::sim::test

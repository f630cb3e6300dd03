// The simulator's building blocks on their own: credentials, pan/tilt values,
// the motion store and its file, the MPEG-4 header rewrite and the scene.
#include "sim/auth.h"
#include "sim/camera_simulator.h"
#include "sim/motion_store.h"
#include "sim/mpeg4_camera_form.h"
#include "sim/pan_tilt.h"
#include "sim/scene.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace kestrova::sim {
namespace {

TEST(SimAuthTest, BasicCredentialsParseStrictly) {
    auto c = ParseBasicAuthorization("Basic YWRtaW46c2VjcmV0");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->user, "admin");
    EXPECT_EQ(c->password, "secret");
    auto colonInPassword = ParseBasicAuthorization("basic dTpwOnE="); // "u:p:q"
    ASSERT_TRUE(colonInPassword);
    EXPECT_EQ(colonInPassword->password, "p:q");
    EXPECT_FALSE(ParseBasicAuthorization("Digest YWRtaW46c2VjcmV0"));
    EXPECT_FALSE(ParseBasicAuthorization("Basic"));
    EXPECT_FALSE(ParseBasicAuthorization("Basic YWRtaW4=")); // no colon
    EXPECT_FALSE(ParseBasicAuthorization("Basic YW*taW46"));
    EXPECT_FALSE(DecodeBase64("QQ=A"));  // data after padding
    EXPECT_FALSE(DecodeBase64("QUJDR")); // a lone sixth-bit group
    EXPECT_EQ(DecodeBase64("QUI="), "AB");
    EXPECT_TRUE(CredentialsMatch({"u", "~"}, "u", ""));
    EXPECT_TRUE(CredentialsMatch({"u", ""}, "u", "~"));
    EXPECT_FALSE(CredentialsMatch({"u", "~"}, "u", "x"));
    EXPECT_FALSE(CredentialsMatch({"U", "x"}, "u", "x"));
}

TEST(SimPanTiltTest, PositionIsThreeIntegers) {
    auto p = ParsePanTilt("-320,+225,10");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->pan, -320);
    EXPECT_EQ(p->tilt, 225);
    EXPECT_EQ(p->speed, 10);
    for (const char* bad :
         {"", "1,2", "1,2,", "1,,2", "1,2,3,", "1 ,2,3", "x,2,3", "99999999999,1,1"})
        EXPECT_FALSE(ParsePanTilt(bad)) << bad;
}

std::string SaveAreas(const std::string& title0) {
    std::string body = "COMMAND: MOT_SAVE_AREA\r\nRES: 3\r\n";
    for (int n = 0; n < 4; ++n) {
        const std::string k = "AREA" + std::to_string(n);
        body += k + "EN: 1\r\n" + k + "THD: " + std::to_string(10 + n) + "\r\n" + k +
                "SENS: 3\r\n" + k + "TLE: " + (n == 0 ? title0 : "t") + "\r\n" + k +
                "X1: " + std::to_string(n) + "\r\n" + k + "Y1: 2\r\n" + k + "X2: 639\r\n" + k +
                "Y2: 479\r\n";
    }
    return body + "\r\n";
}

TEST(SimMotionStoreTest, SavedSetUpSurvivesARestartThroughItsFile) {
    const auto file = std::filesystem::temp_directory_path() /
                      ("camsim-motion-" + std::to_string(::getpid()) + ".json");
    std::filesystem::remove(file);
    {
        MotionStore store(file.string());
        EXPECT_EQ(store.Handle(SaveAreas("Gate \"east\""), false).body, "MOT: OK\r\n");
        EXPECT_EQ(store
                      .Handle("COMMAND: MOT_SAVE_VIEW\r\nRES: 3\r\nVIEWEN: 0\r\nVIEWAREAX1: 16\r\n"
                              "VIEWAREAY1: 8\r\nVIEWAREAX2: 320\r\nVIEWAREAY2: 240\r\n\r\n",
                              false)
                      .status,
                  200);
    }
    MotionStore reloaded(file.string());
    EXPECT_EQ(reloaded.LoadError(), "");
    const MotionSetup s = reloaded.Snapshot();
    EXPECT_EQ(s.areas[0].title, "Gate \"east\"");
    EXPECT_EQ(s.areas[3].threshold, 13);
    EXPECT_EQ(s.areas[3].x1, 3);
    EXPECT_EQ(s.view.enable, 0);
    EXPECT_EQ(s.view.x2, 320);
    EXPECT_NE(reloaded.Handle("COMMAND: MOT_READ_AREA\r\n\r\n", false)
                  .body.find("AREA0TLE: Gate \"east\"\r"),
              std::string::npos);

    // A damaged file is reported, not half-loaded.
    std::ofstream(file) << "{\"res\":3,\"view\":{}}";
    MotionStore damaged(file.string());
    EXPECT_NE(damaged.LoadError(), "");
    EXPECT_EQ(damaged.Snapshot().areas[0].title, "Area 1");
    std::filesystem::remove(file);
}

TEST(SimMotionStoreTest, TitlesThatWouldBreakTheLinesOrOverflowAreRefused) {
    MotionStore store;
    EXPECT_EQ(store.Handle(SaveAreas(std::string(65, 'x')), false).status, 400);
    EXPECT_EQ(store.Handle(SaveAreas(std::string(64, 'x')), false).status, 200);
    // A title holding a line break smuggles in a second key line: the block is refused.
    const ProtocolReply smuggled = store.Handle(SaveAreas("a\r\nAREA0X1: 500"), false);
    EXPECT_EQ(smuggled.status, 400);
    EXPECT_NE(smuggled.body.find("duplicate key AREA0X1"), std::string::npos);
    EXPECT_EQ(store.Snapshot().areas[0].x1, 0);
    EXPECT_EQ(store.Snapshot().areas[0].title, std::string(64, 'x'));
}

TEST(SimMotionLevelsTest, LevelIsTheCoveredShareOfEachEnabledArea) {
    MotionSetup s = MotionSetup::Defaults();
    s.areas[1].enable = 0;
    const Rect inside{10, 10, 170, 130}; // a quarter of area 0 (320 x 240)
    auto levels = MotionLevels(s, inside);
    EXPECT_EQ(levels[0], 255 / 4);
    EXPECT_EQ(levels[2], 0);
    const Rect everything{0, 0, 640, 480};
    levels = MotionLevels(s, everything);
    EXPECT_EQ(levels[0], 255);
    EXPECT_EQ(levels[1], 0); // disabled
    EXPECT_EQ(levels[3], 255);
    s.areas[3].x2 = s.areas[3].x1; // empty rectangle
    EXPECT_EQ(MotionLevels(s, everything)[3], 0);
}

TEST(SimCameraFormTest, HeadersAreRewrittenAndFramesStartAtTheVop) {
    const std::vector<uint8_t> vol = CameraLayerHeader(704, 480, 30);
    ASSERT_EQ(vol.size(), 14u);
    // Width and height sit at bits 83..95 and 97..109 of the fixed form.
    auto bits = [&](int from, int count) {
        uint32_t v = 0;
        for (int i = from; i < from + count; ++i)
            v = v << 1 | ((vol[i / 8] >> (7 - i % 8)) & 1);
        return v;
    };
    EXPECT_EQ(bits(50, 16), 30u);
    EXPECT_EQ(bits(69, 13), 704u);
    EXPECT_EQ(bits(83, 13), 480u);

    const std::vector<uint8_t> encoder = {0,    0, 1, 0xB0, 1, 0,    0,   1,   0xB5, 9,
                                          0x80, 0, 0, 1,    0, 0,    0,   1,   0x20, 1,
                                          2,    3, 0, 0,    1, 0xB2, 'L', 'a', 'v',  'c'};
    const auto headers = RewriteStreamHeaders(encoder, 704, 480, 30);
    const std::vector<uint8_t> expectedStart(encoder.begin(), encoder.begin() + 15);
    ASSERT_EQ(headers.size(), 15u + 14u);
    EXPECT_TRUE(std::equal(expectedStart.begin(), expectedStart.end(), headers.begin()));
    EXPECT_TRUE(std::equal(vol.begin(), vol.end(), headers.begin() + 15));

    const std::vector<uint8_t> frame = {0, 0, 1, 0xB3, 0, 0, 0x10, 0, 0, 1, 0xB6, 0x10, 0x22};
    const auto stripped = StripToVop(frame);
    EXPECT_EQ(stripped, std::vector<uint8_t>(frame.begin() + 7, frame.end()));
}

TEST(SimSceneTest, FramesAreAFunctionOfTheirNumber) {
    const Scene scene(320, 240, 15);
    YuvPicture a, b, c;
    scene.Render(42, a);
    Scene(320, 240, 15).Render(42, b);
    scene.Render(43, c);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.u, b.u);
    EXPECT_NE(a.y, c.y);
    const Rect r0 = scene.ObjectAt(0), r1 = scene.ObjectAt(30);
    EXPECT_NE(r0.x1, r1.x1);
    for (int64_t n = 0; n < 400; n += 7) {
        const Rect r = scene.ObjectAt(n);
        EXPECT_GE(r.x1, 0);
        EXPECT_LE(r.x2, 320);
        EXPECT_GE(r.y1, 0);
        EXPECT_LE(r.y2, 240);
    }
    // The square is drawn where it is said to be.
    const Rect obj = scene.ObjectAt(42);
    EXPECT_EQ(a.y[static_cast<size_t>(obj.y1 + 2) * 320 + obj.x1 + 2], 235);
    const Rect cam = scene.ObjectInCameraCoords(42);
    EXPECT_EQ(cam.x1, obj.x1 * 2);
    EXPECT_EQ(cam.y2, obj.y2 * 2);
}

} // namespace
} // namespace kestrova::sim

namespace kestrova::sim {
namespace {

TEST(SimOptionsTest, StartRefusesSettingsTheStreamsCannotCarry) {
    auto refused = [](auto change) {
        SimOptions o;
        change(o);
        CameraSimulator sim(o);
        std::string error;
        const bool started = sim.Start(&error);
        return !started && !error.empty();
    };
    EXPECT_TRUE(refused([](SimOptions& o) { o.asfPacketSize = 4097; })); // the parser's buffer
    EXPECT_TRUE(refused([](SimOptions& o) { o.audioBits = 6; }));
    EXPECT_TRUE(refused([](SimOptions& o) { o.width = 321; }));
    EXPECT_TRUE(refused([](SimOptions& o) { o.fault = "melt"; }));
    EXPECT_TRUE(refused([](SimOptions& o) { o.host = "localhost:80"; }));
    EXPECT_FALSE(refused([](SimOptions& o) { o.audioBits = 0; }));
}

} // namespace
} // namespace kestrova::sim

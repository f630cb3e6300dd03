// The engine against the simulated camera over loopback HTTP: real connection, real
// decoders, real stream layouts and the camera's fault modes.
#include "sim/camera_simulator.h"
#include "stream/asf_feeder.h"
#include "stream/asf_session.h"
#include "stream/engine_doubles.h"
#include "stream/jpeg_display.h"
#include "stream/media_support.h"
#include "stream/mjpeg_session.h"
#include "stream/mpeg4_display.h"
#include "stream/player_exception.h"

#include <gtest/gtest.h>
#include <regex>
#include <set>

namespace kestrova::stream {
namespace {

using namespace testing;
using namespace std::chrono_literals;

EngineTimings LiveTimings() {
    EngineTimings t = FastTimings();
    t.connectTimeout = 5000;
    t.readTimeout = 1000;
    return t;
}

std::unique_ptr<sim::CameraSimulator> StartCamera(const std::string& fault = "",
                                                  int audioBits = 4) {
    sim::SimOptions options;
    options.fault = fault;
    options.audioBits = audioBits;
    options.fps = 25;
    auto camera = std::make_unique<sim::CameraSimulator>(options);
    std::string error;
    EXPECT_TRUE(camera->Start(&error)) << error;
    return camera;
}

// A whole engine of one profile: window, both display paths, an audio double, both sessions.
struct Engine {
    explicit Engine(StreamProfile p = StreamProfile::Viewer())
        : profile(p), jpeg(window, p), mpeg4(window, p), audio(window), mjpegSession(window, p),
          asfSession(window, p) {
        for (CStreamSession* s : {static_cast<CStreamSession*>(&mjpegSession),
                                  static_cast<CStreamSession*>(&asfSession)}) {
            s->SetTimings(LiveTimings());
            s->SetAudio(&audio);
        }
        mjpegSession.SetDisplay(&jpeg);
        asfSession.SetDisplay(&mpeg4);
        jpeg.SetTimings(LiveTimings());
        mpeg4.SetTimings(LiveTimings());
    }
    CStreamSession& Session(bool asf) {
        return asf ? static_cast<CStreamSession&>(asfSession) : mjpegSession;
    }
    void Target(const sim::CameraSimulator& camera, bool asf,
                const std::string& password = "admin") {
        Session(asf).SetTarget(camera.BaseUrl() + (asf ? "img/video.asf" : "img/mjpeg.cgi"),
                               "admin", password);
    }
    int RunToEnd(bool asf) {
        EXPECT_TRUE(Session(asf).Start());
        EXPECT_TRUE(WaitFor([&] { return Session(asf).IsFinished(); }, 15000));
        // The end is reported after the finished flag is set: join the thread to see it.
        Session(asf).StopAndJoin();
        return Session(asf).ExitCode();
    }
    void ExpectStoppedClean() {
        EXPECT_EQ(window.VideoQueue().Count(), 0u);
        EXPECT_EQ(window.AudioQueue().Count(), 0u);
        EXPECT_TRUE(jpeg.IsFinished());
        EXPECT_TRUE(mpeg4.IsFinished());
        EXPECT_FALSE(mpeg4.DecoderOpen());
        EXPECT_FALSE(audio.IsOpen());
    }
    std::vector<uintptr_t> EndedCodes() {
        std::vector<uintptr_t> codes;
        for (auto m : window.Posted())
            if (m.first == WM_STREAM_ENDED)
                codes.push_back(m.second);
        return codes;
    }

    StreamProfile profile;
    RecordingWindow window;
    CJpegDisplay jpeg;
    CMpeg4Display mpeg4;
    FakeAudio audio;
    CMJpegSession mjpegSession;
    CAsfSession asfSession;
};

TEST(CameraStreams, BothKindsReachTheDisplayAndStopClean) {
    auto camera = StartCamera();
    for (bool asf : {true, false}) {
        SCOPED_TRACE(asf ? "asf" : "mjpeg");
        Engine engine;
        engine.Target(*camera, asf);
        ASSERT_TRUE(engine.Session(asf).Start());
        ASSERT_TRUE(WaitFor([&] { return engine.window.Pictures().size() >= 5; }, 10000));
        EXPECT_EQ(engine.window.Pictures().back(), (std::pair<int, int>{320, 240}));
        EXPECT_EQ(engine.audio.opens, 1);
        if (asf) {
            EXPECT_EQ(engine.audio.format, 4);
            EXPECT_EQ(engine.window.PacingValue(), 36);
            EXPECT_GT(engine.window.VideoClock(), 0u);
        }
        EXPECT_TRUE(engine.Session(asf).StopThread(10000));
        EXPECT_EQ(engine.Session(asf).ExitCode(), 0);
        EXPECT_TRUE(engine.EndedCodes().empty());
        engine.ExpectStoppedClean();
    }
}

TEST(CameraStreams, RefusalsAndFaultsEndWithTheirCodes) {
    struct Case {
        const char* fault;
        bool asf;
        int code;
    };
    const Case cases[] = {
        {"busy-503", true, kBusy},
        {"busy-503", false, kBusy},
        {"auth-401", true, kRefused},
        {"auth-401", false, kRefused},
        {"stall-after-headers", true, kReadError},
        {"stall-after-headers", false, kReadError},
        {"close-mid-frame", true, kReadError},
        {"close-mid-frame", false, kReadError},
        {"bad-stream-number", true, kBadStreamNumber},
        {"oversize-payload", true, kMalformed},
        {"oversize-payload", false, kMalformed},
        {"bad-tag", false, kMalformed},
    };
    auto camera = StartCamera();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + (c.asf ? " asf" : " mjpeg"));
        ASSERT_TRUE(camera->SetFault(c.fault));
        Engine engine;
        engine.Target(*camera, c.asf);
        EXPECT_EQ(engine.RunToEnd(c.asf), c.code);
        EXPECT_EQ(engine.EndedCodes(), std::vector<uintptr_t>{static_cast<uintptr_t>(c.code)});
        engine.ExpectStoppedClean();
    }
    // A wrong password gets the refusal page too.
    ASSERT_TRUE(camera->SetFault(""));
    Engine engine;
    engine.Target(*camera, false, "wrong");
    EXPECT_EQ(engine.RunToEnd(false), kRefused);
}

TEST(CameraStreams, ConnectFailuresAndAStopWhileConnecting) {
    uint16_t deadPort;
    {
        auto gone = StartCamera();
        deadPort = gone->Port();
    }
    {
        Engine engine;
        engine.asfSession.SetTarget(
            "http://127.0.0.1:" + std::to_string(deadPort) + "/img/video.asf", "admin", "admin");
        EXPECT_EQ(engine.RunToEnd(true), kConnectError);
        EXPECT_EQ(engine.EndedCodes(), std::vector<uintptr_t>{kConnectError});
    }
    auto camera = StartCamera("stall-before-answer");
    {
        Engine engine;
        auto t = LiveTimings();
        t.connectTimeout = 300;
        engine.mjpegSession.SetTimings(t);
        engine.Target(*camera, false);
        EXPECT_EQ(engine.RunToEnd(false), kConnectError);
        EXPECT_EQ(engine.EndedCodes(), std::vector<uintptr_t>{kConnectError});
    }
    {
        Engine engine;
        engine.Target(*camera, true);
        ASSERT_TRUE(engine.asfSession.Start());
        std::this_thread::sleep_for(100ms);
        EXPECT_TRUE(engine.asfSession.StopThread(5000));
        EXPECT_EQ(engine.asfSession.ExitCode(), 0);
        EXPECT_TRUE(engine.window.Posted().empty());
    }
    camera->SetFault("");
}

TEST(CameraStreams, RecordingHoldsExactlyTheBytesSent) {
    auto camera = StartCamera("close-mid-frame");
    Engine engine;
    engine.Target(*camera, true);
    const auto file = MediaDir() / "recorded.asf";
    engine.asfSession.SetRecord(true, file.string());
    EXPECT_EQ(engine.RunToEnd(true), kReadError);
    const std::vector<uint8_t> recorded = ReadFile(file);

    std::smatch m;
    const std::string status = camera->StatusJson();
    ASSERT_TRUE(std::regex_search(
        status, m, std::regex("\"path\":\"/img/video.asf\"[^}]*\"bytes_sent\":(\\d+)")))
        << status;
    EXPECT_EQ(recorded.size(), std::stoull(m[1]));

    // The file reads back as the same stream: headers, then whole packets up to the cut.
    StreamProfile profile = StreamProfile::Viewer();
    CFrameChain video, audio;
    struct Host : AsfParserHost {
        bool StartVideo(int w, int, std::span<const uint8_t>) override { return w == 320; }
        bool OpenAudio(int, uint32_t) override { return true; }
        int PacingValue() const override { return 1000; }
    } host;
    CAsfParser parser(profile, video, audio, host);
    parser.Reset();
    AsfChunkFeeder feeder(parser);
    EXPECT_EQ(feeder.Push(recorded), 0) << parser.LastError();
    EXPECT_EQ(parser.CurrentStage(), CAsfParser::Stage::Packets);
    EXPECT_EQ(video.Count(), 2u); // two frames, then half of the third
}

TEST(CameraStreams, MotionProfileFollowsTheMovingObject) {
    auto camera = StartCamera(); // with audio, which this profile never plays
    Engine engine(StreamProfile::Motion());
    std::mutex mutex;
    std::set<std::array<uint8_t, 4>> seen;
    engine.asfSession.SetMotionLevelsCallback([&](const std::array<uint8_t, 4>& levels) {
        std::lock_guard lock(mutex);
        seen.insert(levels);
    });
    std::atomic<int> ended{-1};
    engine.asfSession.SetEndCallback([&](int code) { ended = code; });
    engine.Target(*camera, true);
    ASSERT_TRUE(engine.asfSession.Start());
    ASSERT_TRUE(WaitFor(
        [&] {
            std::lock_guard lock(mutex);
            return seen.size() >= 3;
        },
        10000));
    EXPECT_TRUE(WaitFor([&] { return !engine.window.Pictures().empty(); }));
    EXPECT_EQ(engine.window.PacingValue(), 18);
    EXPECT_TRUE(engine.asfSession.StopThread(10000));
    EXPECT_EQ(ended.load(), -1); // a stop on request reports nothing
    EXPECT_TRUE(engine.window.Posted().empty());
    EXPECT_EQ(engine.audio.opens, 0);
    {
        std::lock_guard lock(mutex);
        bool anyMotion = false;
        for (const auto& l : seen)
            anyMotion |= (l[0] | l[1] | l[2] | l[3]) != 0;
        EXPECT_TRUE(anyMotion);
    }

    // The same engine on the Motion-JPEG stream: pictures, no audio, no levels.
    const std::size_t levelSets = seen.size();
    const std::size_t drawn = engine.window.Pictures().size();
    engine.Target(*camera, false);
    ASSERT_TRUE(engine.mjpegSession.Start());
    EXPECT_TRUE(WaitFor([&] { return engine.window.Pictures().size() >= drawn + 5; }, 10000));
    EXPECT_TRUE(engine.mjpegSession.StopThread(10000));
    EXPECT_EQ(engine.mjpegSession.ExitCode(), 0);
    EXPECT_EQ(engine.audio.opens, 0);
    std::lock_guard lock(mutex);
    EXPECT_EQ(seen.size(), levelSets);
    engine.ExpectStoppedClean();
}

} // namespace
} // namespace kestrova::stream

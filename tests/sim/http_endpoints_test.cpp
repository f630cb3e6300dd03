// The simulator over real HTTP: credentials, query pages, pan/tilt, the
// motion protocol, snapshots, the viewer limit and hostile requests.
#include "sim/json.h"
#include "sim/pages.h"
#include "sim_test_util.h"

#include <gtest/gtest.h>
#include <thread>

namespace kestrova::sim::test {
namespace {

class SimHttpTest : public ::testing::Test {
protected:
    void StartSim(SimOptions o = {}) {
        o.fps = 25;
        sim_ = std::make_unique<CameraSimulator>(o);
        std::string error;
        ASSERT_TRUE(sim_->Start(&error)) << error;
    }
    void SetUp() override { StartSim(); }
    std::string Url(const std::string& path) const { return sim_->BaseUrl() + path; }
    HttpResult Get(const std::string& path) { return Fetch({.url = Url(path)}); }
    HttpResult Post(const std::string& path, const std::string& body) {
        return Fetch({.url = Url(path), .postBody = body, .post = true});
    }
    JsonValue Status() {
        auto v = ParseJson(sim_->StatusJson());
        EXPECT_TRUE(v.has_value());
        return v.value_or(JsonValue{});
    }

    std::unique_ptr<CameraSimulator> sim_;
};

TEST_F(SimHttpTest, CredentialsAreCheckedOnEveryCameraEndpoint) {
    for (const char* path : {"img/query.cgi", "util/query.cgi", "img/mjpeg.cgi", "img/video.asf",
                             "pt/ptctrl.cgi?position=1,2,10", "snap.jpg"}) {
        SCOPED_TRACE(path);
        auto none = Fetch({.url = Url(path), .sendAuth = false});
        EXPECT_EQ(none.status, 401);
        EXPECT_EQ(none.body.rfind("<HTML><HEAD><TITLE>401 Unauthorized", 0), 0u);
        EXPECT_NE(none.headers.find("WWW-Authenticate: Basic"), std::string::npos);
        auto wrong = Fetch({.url = Url(path), .password = "nope", .maxBytes = 1});
        EXPECT_EQ(wrong.status, 401);
    }
    auto garbled = RawExchange(sim_->Port(),
                               "GET /img/query.cgi HTTP/1.1\r\nHost: x\r\n"
                               "Authorization: Basic !!!not-base64!!!\r\nConnection: close\r\n\r\n",
                               4096, 2000);
    EXPECT_EQ(garbled.rfind("HTTP/1.1 401", 0), 0u) << garbled;
    auto ok = Get("img/query.cgi");
    EXPECT_EQ(ok.status, 200);
}

TEST_F(SimHttpTest, TildeStandsForTheEmptyPassword) {
    sim_.reset();
    SimOptions o;
    o.user = "viewer";
    o.password = "";
    StartSim(o);
    EXPECT_EQ(Fetch({.url = Url("img/query.cgi"), .user = "viewer", .password = "~"}).status, 200);
    EXPECT_EQ(Fetch({.url = Url("img/query.cgi"), .user = "viewer", .password = ""}).status, 200);
    EXPECT_EQ(Fetch({.url = Url("img/query.cgi"), .user = "viewer", .password = "x"}).status, 401);
    EXPECT_EQ(Fetch({.url = Url("img/query.cgi"), .user = "", .password = "~"}).status, 401);
}

TEST_F(SimHttpTest, QueryPagesCarryTheValueLinesEndedByCarriageReturn) {
    sim_.reset();
    SimOptions o;
    o.streamType = StreamType::Jpeg;
    o.ptctrl = "off";
    o.voiceOut = "off";
    StartSim(o);
    const std::string img = Get("img/query.cgi").body;
    EXPECT_NE(img.find("ptctrl=off\r"), std::string::npos) << img;
    EXPECT_NE(img.find("ioctrl=on\r"), std::string::npos) << img;
    const std::string util = Get("util/query.cgi").body;
    EXPECT_NE(util.find("type=jpeg\r"), std::string::npos) << util;
    EXPECT_NE(util.find("voice_out=off\r"), std::string::npos) << util;
}

TEST_F(SimHttpTest, PanTiltRecordsTheLastPositionAndAnswersEmpty) {
    auto r = Get("pt/ptctrl.cgi?position=-320,225,10");
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(r.body.empty());
    EXPECT_EQ(Get("pt/ptctrl.cgi?position=5,6,10").status, 200);
    for (const char* bad : {"pt/ptctrl.cgi", "pt/ptctrl.cgi?position=1,2",
                            "pt/ptctrl.cgi?position=a,b,c", "pt/ptctrl.cgi?position=1,2,3,4"}) {
        auto b = Get(bad);
        EXPECT_EQ(b.status, 400) << bad;
        EXPECT_FALSE(b.body.empty()) << bad;
    }
    const JsonValue status = Status();
    const JsonValue* pt = status.Find("pan_tilt");
    ASSERT_NE(pt, nullptr);
    EXPECT_EQ(pt->Find("pan")->number, 5);
    EXPECT_EQ(pt->Find("tilt")->number, 6);
    EXPECT_EQ(pt->Find("speed")->number, 10);
    EXPECT_EQ(pt->Find("requests")->number, 2);
}

std::string AreaSaveBody(int seed) {
    std::string body = "COMMAND: MOT_SAVE_AREA\r\nRES: 3\r\n";
    for (int n = 0; n < 4; ++n) {
        const std::string k = "AREA" + std::to_string(n);
        body += k + "EN: " + std::to_string(n % 2) + "\r\n";
        body += k + "THD: " + std::to_string(seed - n) + "\r\n";
        body += k + "SENS: " + std::to_string(seed + n) + "\r\n";
        body += k + "TLE: Door " + std::to_string(n) + "\r\n";
        body += k + "X1: " + std::to_string(16 * n) + "\r\n";
        body += k + "Y1: " + std::to_string(8 * n) + "\r\n";
        body += k + "X2: " + std::to_string(600 - n) + "\r\n";
        body += k + "Y2: " + std::to_string(470 - n) + "\r\n";
    }
    return body + "\r\n";
}

TEST_F(SimHttpTest, MotionCommandsSaveAndReadBack) {
    auto save = Post("ocxparser.cgi", AreaSaveBody(-5));
    EXPECT_EQ(save.status, 200);
    EXPECT_NE(save.body.find("MOT: OK"), std::string::npos);
    const std::string areas = Post("ocxparser.cgi", "COMMAND: MOT_READ_AREA\r\n\r\n").body;
    EXPECT_NE(areas.find("RES: 3\r"), std::string::npos);
    EXPECT_NE(areas.find("AREA0THD: -5\r"), std::string::npos) << areas;
    EXPECT_NE(areas.find("AREA1EN: 1\r"), std::string::npos);
    EXPECT_NE(areas.find("AREA2TLE: Door 2\r"), std::string::npos);
    EXPECT_NE(areas.find("AREA3SENS: -2\r"), std::string::npos);
    EXPECT_NE(areas.find("AREA3X1: 48\r"), std::string::npos);
    EXPECT_NE(areas.find("AREA3Y2: 467\r"), std::string::npos);

    auto view = Post("ocxparser.cgi", "COMMAND: MOT_SAVE_VIEW\r\nRES: 3\r\nVIEWEN: 1\r\n"
                                      "VIEWAREAX1: 160\r\nVIEWAREAY1: 8\r\nVIEWAREAX2: 640\r\n"
                                      "VIEWAREAY2: 480\r\n\r\n");
    EXPECT_NE(view.body.find("MOT: OK"), std::string::npos);
    const std::string readView = Post("ocxparser.cgi", "COMMAND: MOT_READ_VIEW\r\n\r\n").body;
    EXPECT_NE(readView.find("VIEWAREAX1: 160\r"), std::string::npos) << readView;
    EXPECT_NE(readView.find("VIEWAREAY1: 8\r"), std::string::npos);
    EXPECT_NE(readView.find("VIEWAREAX2: 640\r"), std::string::npos);

    EXPECT_NE(Post("ocxparser.cgi", "COMMAND: MOT_OCX_FREE\r\n\r\n").body.find("MOT: OK"),
              std::string::npos);
    // The status page shows the stored set-up.
    const JsonValue status = Status();
    const JsonValue* motion = status.Find("motion");
    ASSERT_NE(motion, nullptr);
    EXPECT_EQ(motion->Find("areas")->array[2].Find("title")->string, "Door 2");
    EXPECT_EQ(motion->Find("view")->Find("x1")->number, 160);
}

TEST_F(SimHttpTest, MotionProtocolRefusesBadBlocksWithoutChangingTheSetUp) {
    const std::string before = Post("ocxparser.cgi", "COMMAND: MOT_READ_AREA\r\n\r\n").body;
    std::string missing = AreaSaveBody(7);
    missing.erase(missing.find("AREA2Y1: "), missing.find("AREA2X2: ") - missing.find("AREA2Y1: "));
    std::string badNumber = AreaSaveBody(7);
    badNumber.replace(badNumber.find("AREA1THD: 6"), 11, "AREA1THD: x");
    for (const std::string& body : {missing, badNumber, std::string("COMMAND: MOT_DANCE\r\n\r\n"),
                                    std::string("HELLO\r\n\r\n"), std::string()}) {
        auto r = Post("ocxparser.cgi", body);
        EXPECT_EQ(r.status, 400) << body;
        EXPECT_EQ(r.body.find("MOT: OK"), std::string::npos);
    }
    auto huge = Post("ocxparser.cgi", "COMMAND: MOT_SAVE_AREA\r\n" + std::string(200000, 'A'));
    EXPECT_EQ(huge.status, 413);
    EXPECT_EQ(Post("ocxparser.cgi", "COMMAND: MOT_READ_AREA\r\n\r\n").body, before);
    EXPECT_EQ(Get("ocxparser.cgi").status, 405);
}

TEST_F(SimHttpTest, BusyMotionCameraAnswersTheForbiddenPage) {
    ASSERT_TRUE(sim_->SetFault("motion-busy"));
    for (const char* cmd : {"COMMAND: MOT_READ_AREA\r\n\r\n", "COMMAND: MOT_OCX_FREE\r\n\r\n"}) {
        auto r = Post("ocxparser.cgi", cmd);
        EXPECT_NE(r.body.find("<HTML><HEAD><TITLE>403 Forbidd"), std::string::npos);
    }
    EXPECT_NE(Post("snap.jpg", "COMMAND: MOT_READ_VIEW\r\n\r\n").body.find("403 Forbidd"),
              std::string::npos);
    ASSERT_TRUE(sim_->SetFault(""));
    auto snap = Post("snap.jpg", "COMMAND: MOT_READ_VIEW\r\n\r\n");
    EXPECT_EQ(snap.status, 200);
    EXPECT_LE(snap.body.size(), 255999u);
    EXPECT_EQ(DecodeJpegSize(snap.body), std::make_pair(320, 240));
}

TEST_F(SimHttpTest, TwoStreamsAtOnceAndTheBusyPagePastTheLimit) {
    sim_.reset();
    SimOptions o;
    o.maxStreams = 2;
    StartSim(o);
    HttpResult a, b;
    std::thread ta([&] { a = Fetch({.url = Url("img/video.asf"), .timeoutMs = 1500}); });
    std::thread tb([&] { b = Fetch({.url = Url("img/mjpeg.cgi"), .timeoutMs = 1500}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    auto third = Fetch({.url = Url("img/video.asf"), .timeoutMs = 2000});
    EXPECT_EQ(third.body.rfind("<HTML><HEAD><TITLE>503 Service", 0), 0u)
        << third.body.substr(0, 40);
    EXPECT_EQ(third.status, 503);
    // The query pages still answer while both streams run.
    EXPECT_EQ(Get("img/query.cgi").status, 200);
    ta.join();
    tb.join();
    EXPECT_GT(a.body.size(), 2000u);
    EXPECT_EQ(a.body.substr(0, 4), std::string("\x30\x26\xB2\x75", 4));
    EXPECT_EQ(b.body.substr(0, 4), "MJPG");
    // Both ends were seen and counted.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const JsonValue status = Status();
    EXPECT_EQ(status.Find("streams_open")->number, 0);
    EXPECT_EQ(status.Find("refused_503")->number, 1);
    const auto& streams = status.Find("streams")->array;
    ASSERT_EQ(streams.size(), 2u);
    for (const auto& s : streams)
        EXPECT_GT(s.Find("bytes_sent")->number, 1000);
    // A slot is free again.
    EXPECT_EQ(Fetch({.url = Url("img/mjpeg.cgi"), .maxBytes = 100}).status, 200);
}

TEST_F(SimHttpTest, HostileRequestsGetClearErrorsAndServingGoesOn) {
    const std::string garbage = RawExchange(sim_->Port(), "\x01\x02 garbage\r\n\r\n", 4096, 2000);
    EXPECT_EQ(garbage.rfind("HTTP/1.1 400", 0), 0u) << garbage;
    const std::string noVersion =
        RawExchange(sim_->Port(), "GET /img/query.cgi\r\n\r\n", 4096, 2000);
    EXPECT_EQ(noVersion.rfind("HTTP/1.1 400", 0), 0u) << noVersion;
    const std::string longHeader = RawExchange(
        sim_->Port(), "GET /img/query.cgi HTTP/1.1\r\nX: " + std::string(300000, 'a') + "\r\n\r\n",
        4096, 3000);
    EXPECT_EQ(longHeader.rfind("HTTP/1.1 4", 0), 0u) << longHeader.substr(0, 40);
    EXPECT_EQ(Get("no/such.cgi").status, 404);
    EXPECT_EQ(Get("/img//query.cgi").status, 200); // doubled slashes name the same page
    EXPECT_EQ(Post("img/query.cgi", "x").status, 405);
    EXPECT_EQ(Fetch({.url = Url("status?fault=melt")}).status, 400);
    // Half a request, then the client goes away.
    RawExchange(sim_->Port(), "POST /ocxparser.cgi HTTP/1.1\r\nContent-Length: 500\r\n\r\nCOM", 10,
                100);
    EXPECT_EQ(Get("util/query.cgi").status, 200);
}

TEST_F(SimHttpTest, StallBeforeAnswerHoldsRequestsUntilTheModeEnds) {
    ASSERT_EQ(Fetch({.url = Url("status?fault=stall-before-answer")}).status, 200);
    auto stalled = Fetch({.url = Url("img/query.cgi"), .timeoutMs = 400});
    EXPECT_TRUE(stalled.transferError);
    EXPECT_EQ(stalled.status, 0);
    HttpResult late;
    std::thread t([&] { late = Fetch({.url = Url("util/query.cgi"), .timeoutMs = 3000}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // The status page is never held.
    EXPECT_EQ(Fetch({.url = Url("status?fault=none")}).status, 200);
    t.join();
    EXPECT_EQ(late.status, 200);
    EXPECT_NE(late.body.find("type="), std::string::npos);
}

TEST_F(SimHttpTest, StopIsPromptEvenWhenAClientStopsReading) {
    // A client that asks for a stream and never reads fills the socket buffers.
    std::thread idle([&] {
        SendAndStall(sim_->Port(),
                     "GET /img/mjpeg.cgi HTTP/1.1\r\nHost: x\r\n"
                     "Authorization: Basic YWRtaW46YWRtaW4=\r\n\r\n",
                     2500);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(Status().Find("streams_open")->number, 1);
    const auto begin = std::chrono::steady_clock::now();
    sim_->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(2));
    idle.join();
}

TEST_F(SimHttpTest, StopEndsRunningStreamsPromptly) {
    HttpResult r;
    std::thread t([&] { r = Fetch({.url = Url("img/video.asf"), .timeoutMs = 10000}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto begin = std::chrono::steady_clock::now();
    sim_->Stop();
    t.join();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(2));
    EXPECT_GT(r.body.size(), 100u);
}

} // namespace
} // namespace kestrova::sim::test

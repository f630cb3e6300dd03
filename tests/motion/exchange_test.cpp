#include "codec/image/frame_image.h"
#include "motion/config_client.h"
#include "motion/motion_protocol.h"
#include "scripted_config_host.h"

#include <deque>
#include <gtest/gtest.h>
#include <vector>

namespace kestrova::motion {
namespace {

constexpr std::string_view k401 = "<HTML><HEAD><TITLE>401 Unauthorized</TITLE></HEAD></HTML>";
constexpr std::string_view k403 = "<HTML><HEAD><TITLE>403 Forbidden</TITLE></HEAD></HTML>";

// Answers posts from a script (nothing = the request could not be made) and records them.
class ScriptedTransport : public ConfigTransport {
public:
    struct Sent {
        std::string url, body;
        Credentials credentials;
    };
    std::optional<std::string> Post(const std::string& url, std::string_view body,
                                    const Credentials& c) override {
        sent.push_back({url, std::string(body), c});
        if (replies.empty())
            return std::string("MOT: OK\r\n");
        auto r = replies.front();
        replies.pop_front();
        return r;
    }
    bool PostForImage(FrameImage&, const std::string& url, std::string_view body,
                      const Credentials& c, std::string* text) override {
        sent.push_back({url, std::string(body), c});
        if (text)
            *text = imageReply;
        return imageDecodes;
    }
    std::deque<std::optional<std::string>> replies;
    std::vector<Sent> sent;
    bool imageDecodes = true;
    std::string imageReply;
};

class Exchange : public ::testing::Test {
protected:
    Exchange() : client(transport, host) {
        client.SetBase("http://cam");
        client.credentials = {"admin", "pw"};
    }
    ScriptedTransport transport;
    ScriptedConfigHost host;
    MotionConfigClient client;
};

TEST_F(Exchange, AreaReadPostsCommandAndMarksLoaded) {
    transport.replies.push_back("RES: 1\r\nAREA1X2: 639\r\nAREA1TLE: Gate\r\n");
    ASSERT_TRUE(client.ReadConfiguration());
    ASSERT_EQ(transport.sent.size(), 1u);
    EXPECT_EQ(transport.sent[0].url, "http://cam/ocxparser.cgi");
    EXPECT_EQ(transport.sent[0].body, "COMMAND: MOT_READ_AREA\r\n\r\n");
    EXPECT_TRUE(client.areas.loaded);
    EXPECT_EQ(client.areas.resolution, 1);
    EXPECT_EQ(client.areas.areas[1].x2, 399);
    EXPECT_EQ(client.areas.areas[1].title, "Gate");
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Exchange, ViewReadAndOtherModes) {
    client.SetMode(kModeView);
    transport.replies.push_back("VIEWEN: 1\r\nVIEWAREAX1: 320\r\n");
    ASSERT_TRUE(client.ReadConfiguration());
    EXPECT_EQ(transport.sent[0].body, "COMMAND: MOT_READ_VIEW\r\n\r\n");
    EXPECT_EQ(client.view.camera.left, 320);
    EXPECT_EQ(client.view.x1, 200) << "shown at the window's scale, like the areas";
    EXPECT_TRUE(client.view.loaded);
    EXPECT_FALSE(client.areas.loaded);
    // Any mode but the view mode reads the areas; a read in mode 5 also marks them loaded.
    client.SetMode(5);
    transport.replies.push_back("AREA3EN: 1\r\n");
    ASSERT_TRUE(client.ReadConfiguration());
    EXPECT_EQ(transport.sent[1].body, "COMMAND: MOT_READ_AREA\r\n\r\n");
    EXPECT_TRUE(client.areas.loaded);
}

TEST_F(Exchange, ThreeRefusalsShowDialogThreeTimesThenProtected) {
    for (int i = 0; i < 4; ++i)
        transport.replies.push_back(std::string(k401));
    host.logins = {{"a", "1"}, {"b", "2"}, {"c", "3"}};
    EXPECT_FALSE(client.ReadConfiguration());
    EXPECT_EQ(host.prompts, 3);
    EXPECT_EQ(transport.sent.size(), 4u);
    EXPECT_EQ(transport.sent[3].credentials.user, "c");
    EXPECT_EQ(host.messages, std::vector<int>{kMsgProtected});
    // The typed credentials stay in force; nothing of the model changed.
    EXPECT_EQ(client.credentials.user, "c");
    EXPECT_FALSE(client.areas.loaded);
}

TEST_F(Exchange, CancelAtFirstPromptShowsProtectedAtOnce) {
    transport.replies.push_back(std::string(k401));
    EXPECT_FALSE(client.ReadConfiguration());
    EXPECT_EQ(host.prompts, 1);
    EXPECT_EQ(transport.sent.size(), 1u);
    EXPECT_EQ(host.messages, std::vector<int>{kMsgProtected});
    EXPECT_EQ(client.credentials.user, "admin");
}

TEST_F(Exchange, RetryWithTypedCredentialsSucceeds) {
    transport.replies.push_back(std::string(k401) + std::string(k403)); // 401 comes first
    transport.replies.push_back("RES: 2\r\nAREA0EN: 1\r\n");
    host.logins = {{"user", ""}};
    EXPECT_TRUE(client.ReadConfiguration());
    EXPECT_EQ(host.prompts, 1);
    EXPECT_EQ(transport.sent[1].credentials.user, "user");
    EXPECT_EQ(client.areas.areas[0].enable, 1);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Exchange, BusyAndUnreachableReads) {
    transport.replies.push_back(std::string(k403) + "AREA0EN: 1\r\n");
    EXPECT_FALSE(client.ReadConfiguration());
    EXPECT_EQ(client.areas.areas[0].enable, 0) << "a busy reply changes nothing";
    transport.replies.push_back(std::nullopt);
    EXPECT_FALSE(client.ReadConfiguration());
    // Refused, then the retry cannot be made.
    transport.replies.push_back(std::string(k401));
    transport.replies.push_back(std::nullopt);
    host.logins = {{"x", "y"}};
    EXPECT_FALSE(client.ReadConfiguration());
    EXPECT_EQ(host.messages,
              (std::vector<int>{kMsgDeviceBusy, kMsgCannotConnect, kMsgCannotConnect}));
}

TEST_F(Exchange, SaveAreasSendsEditedFramesAndStoredValuesOtherwise) {
    client.areas.loaded = true;
    client.areas.areas[0].enable = 1;
    client.areas.areas[1] = {0, -5, 0, 0, 0, 0, 0, 0, "Off", {1, 2, 3, 4}};
    client.areas.areas[2].enable = 1;
    SetCameraRect(client.areas.areas[2], {1, 3, 639, 479});
    std::vector<int> asked;
    bool stopped = false;
    // Area 1's frame was edited; area 3's was not.
    auto frames = [&](int n) -> std::optional<Rect> {
        asked.push_back(n);
        return n == 0 ? std::optional<Rect>(Rect{0, 0, 160, 160}) : std::nullopt;
    };
    auto stop = [&] {
        stopped = true;
        EXPECT_TRUE(transport.sent.empty()) << "the stream stops before the post";
    };
    EXPECT_EQ(client.SaveAreas(frames, stop), SaveResult::Confirmed);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(asked, (std::vector<int>{0, 2})) << "only enabled areas' frames count";
    const std::string& body = transport.sent.at(0).body;
    EXPECT_NE(body.find("RES: 3\r\nAREA0EN: 1\r\n"), std::string::npos);
    EXPECT_NE(body.find("AREA0X2: 160\r\nAREA0Y2: 160\r\n"), std::string::npos);
    EXPECT_NE(body.find("AREA1THD: -5\r\n"), std::string::npos);
    EXPECT_NE(body.find("AREA1X1: 1\r\nAREA1Y1: 2\r\nAREA1X2: 3\r\nAREA1Y2: 4\r\n"),
              std::string::npos)
        << "a disabled area sends what was stored";
    EXPECT_NE(body.find("AREA2X1: 1\r\nAREA2Y1: 3\r\nAREA2X2: 639\r\nAREA2Y2: 479\r\n"),
              std::string::npos)
        << "an untouched frame sends the camera's values exactly";
    EXPECT_EQ(client.areas.areas[0].camera, (Rect{0, 0, 160, 160})) << "kept once confirmed";
    EXPECT_EQ(client.areas.areas[0].x2, 100);

    // A save the camera did not confirm leaves the model as it was.
    transport.replies.push_back("ERROR\r\n");
    auto moved = [](int) { return std::optional<Rect>(Rect{16, 16, 32, 32}); };
    EXPECT_EQ(client.SaveAreas(moved, {}), SaveResult::Unconfirmed);
    EXPECT_EQ(client.areas.areas[0].camera, (Rect{0, 0, 160, 160}));
    transport.replies.push_back(std::nullopt);
    EXPECT_EQ(client.SaveAreas(frames, {}), SaveResult::CannotConnect);
    EXPECT_EQ(host.messages, std::vector<int>{kMsgCannotConnect});
}

TEST_F(Exchange, SavesOutsideTheirModeOrBeforeAReadSendNothing) {
    EXPECT_EQ(client.SaveAreas({}, {}), SaveResult::NotSent) << "nothing was read";
    client.areas.loaded = true;
    EXPECT_EQ(client.SaveView({}), SaveResult::NotSent);
    client.SetMode(kModeView);
    EXPECT_EQ(client.SaveAreas({}, {}), SaveResult::NotSent);
    EXPECT_EQ(client.SaveView({}), SaveResult::NotSent) << "the view was not read";
    client.view.loaded = true;
    client.SetMode(0);
    EXPECT_EQ(client.SaveAreas({}, {}), SaveResult::NotSent);
    EXPECT_EQ(client.SaveView({}), SaveResult::NotSent);
    EXPECT_TRUE(transport.sent.empty());
}

TEST_F(Exchange, SaveViewRoundsEnabledFrameOnly) {
    client.SetMode(kModeView);
    client.view = {0, 1, 0, 0, 0, 0, {}, true};
    EXPECT_EQ(client.SaveView([] {
        return std::optional<Rect>(Rect{168, 3, 639, 479});
    }),
              SaveResult::Confirmed);
    EXPECT_EQ(transport.sent.at(0).body,
              "COMMAND: MOT_SAVE_VIEW\r\nRES: 3\r\nVIEWEN: 1\r\nVIEWAREAX1: 176\r\n"
              "VIEWAREAY1: 0\r\nVIEWAREAX2: 640\r\nVIEWAREAY2: 480\r\n\r\n");
    EXPECT_EQ(client.view.camera, (Rect{176, 0, 640, 480})) << "the rounded values are kept";
    EXPECT_EQ(client.view.x2, 400);
    client.view = {0, 0, 0, 0, 0, 0, {1, 2, 3, 4}, true};
    client.SaveView([] { return std::optional<Rect>(Rect{168, 3, 639, 479}); });
    EXPECT_NE(transport.sent.at(1).body.find("VIEWAREAX1: 1\r\n"), std::string::npos);
}

TEST_F(Exchange, ReleaseIsSentTwiceWithoutConfirmation) {
    EXPECT_EQ(client.SendRelease(), 1);
    transport.replies.push_back("ERROR\r\n");
    transport.replies.push_back("whatever");
    EXPECT_EQ(client.SendRelease(), 2);
    ASSERT_EQ(transport.sent.size(), 3u);
    for (const auto& s : transport.sent)
        EXPECT_EQ(s.body, "COMMAND: MOT_OCX_FREE\r\n\r\n");
    client.SetMode(kModeView);
    EXPECT_EQ(client.SendRelease(), 0);
    EXPECT_EQ(transport.sent.size(), 3u);
}

TEST_F(Exchange, SnapshotFailureAndBusy) {
    FrameImage image;
    transport.imageDecodes = false;
    EXPECT_FALSE(client.FetchSnapshot(image));
    EXPECT_EQ(transport.sent.at(0).url, "http://cam/snap.jpg");
    EXPECT_EQ(transport.sent.at(0).body, "COMMAND: MOT_READ_VIEW\r\n\r\n");
    transport.imageDecodes = true;
    transport.imageReply = std::string("\xFF\xD8junk") + std::string(k403);
    EXPECT_FALSE(client.FetchSnapshot(image));
    transport.imageReply = "\xFF\xD8";
    EXPECT_TRUE(client.FetchSnapshot(image));
    EXPECT_EQ(host.messages, (std::vector<int>{kMsgCannotConnect, kMsgDeviceBusy}));
}

} // namespace
} // namespace kestrova::motion

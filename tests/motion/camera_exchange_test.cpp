#include "codec/image/frame_image.h"
#include "motion/config_client.h"
#include "motion/motion_protocol.h"
#include "scripted_config_host.h"
#include "sim/camera_simulator.h"

#include <deque>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace kestrova::motion {
namespace {

class CameraExchange : public ::testing::Test {
protected:
    void SetUp() override {
        camera = std::make_unique<sim::CameraSimulator>(sim::SimOptions{});
        std::string error;
        ASSERT_TRUE(camera->Start(&error)) << error;
        std::string base = camera->BaseUrl();
        if (!base.empty() && base.back() == '/')
            base.pop_back();
        client.SetBase(base);
        client.credentials = {"admin", "admin"};
    }
    // The number in the camera's status after `"key":` inside the motion set-up's text.
    std::string MotionJson() const {
        const std::string status = camera->StatusJson();
        const auto at = status.find("\"motion\":");
        return at == std::string::npos ? std::string() : status.substr(at);
    }

    std::unique_ptr<sim::CameraSimulator> camera;
    HttpConfigTransport transport;
    ScriptedConfigHost host;
    MotionConfigClient client{transport, host};
};

TEST_F(CameraExchange, ReadEditSaveRoundTrip) {
    ASSERT_TRUE(client.ReadConfiguration());
    EXPECT_TRUE(client.areas.loaded);
    EXPECT_EQ(client.areas.resolution, 3);
    // The camera's second quadrant (320, 0)-(640, 240) in window coordinates.
    const MotionArea& a = client.areas.areas[1];
    EXPECT_EQ(a.title, "Area 2");
    EXPECT_EQ(a.x1, 200);
    EXPECT_EQ(a.x2, 400);
    EXPECT_EQ(a.y2, 150);

    client.areas.areas[1].threshold = -5;
    client.areas.areas[2].title = "Yard";
    client.areas.areas[3].enable = 0;
    const auto result = client.SaveAreas(
        [](int n) {
            return n == 0 ? std::optional<Rect>(Rect{0, 0, 160, 160}) : std::nullopt;
        },
        {});
    EXPECT_EQ(result, SaveResult::Confirmed);
    const std::string motion = MotionJson();
    EXPECT_NE(motion.find("\"threshold\":-5"), std::string::npos) << motion;
    EXPECT_NE(motion.find("\"title\":\"Yard\""), std::string::npos) << motion;
    EXPECT_NE(motion.find("\"x1\":0,\"y1\":0,\"x2\":160,\"y2\":160"), std::string::npos) << motion;

    // A second read gives back what was stored (in window coordinates again).
    ASSERT_TRUE(client.ReadConfiguration());
    EXPECT_EQ(client.areas.areas[0].x2, 100);
    EXPECT_EQ(client.areas.areas[1].threshold, -5);
    EXPECT_EQ(client.areas.areas[3].enable, 0);
    EXPECT_EQ(client.SendRelease(), 1);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(CameraExchange, AuthorizationRetryTakesTypedCredentials) {
    client.credentials = {"admin", "wrong"};
    host.logins = {{"guest", "x"}, {"admin", "admin"}};
    ASSERT_TRUE(client.ReadConfiguration());
    EXPECT_EQ(host.prompts, 2);
    EXPECT_EQ(client.credentials.password, "admin");
    EXPECT_TRUE(host.messages.empty());

    client.credentials = {"admin", "wrong"};
    host.logins = {{"a", "b"}, {"c", "d"}, {"e", "f"}};
    EXPECT_FALSE(client.ReadConfiguration());
    EXPECT_EQ(host.prompts, 5);
    EXPECT_EQ(host.messages, std::vector<int>{kMsgProtected});
}

TEST_F(CameraExchange, BusyCameraAndNoCamera) {
    ASSERT_TRUE(camera->SetFault("motion-busy"));
    EXPECT_FALSE(client.ReadConfiguration());
    FrameImage image;
    EXPECT_FALSE(client.FetchSnapshot(image)) << "the busy page does not decode";
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(host.messages, (std::vector<int>{kMsgDeviceBusy, kMsgCannotConnect}));
    camera->Stop();
    host.messages.clear();
    EXPECT_FALSE(client.ReadConfiguration());
    EXPECT_EQ(client.SendRelease(), 1);
    EXPECT_EQ(host.messages, (std::vector<int>{kMsgCannotConnect, kMsgCannotConnect}));
}

} // namespace
} // namespace kestrova::motion

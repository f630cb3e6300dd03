#include "net/endpoints.h"
#include "net/refusal.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kestrova::net {
namespace {

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

TEST(Refusal, StreamMarkersAreFoundOnlyInsideTheirWindow) {
    // The ASF busy check reads exactly the marker's length.
    const std::string page = "<HTML><HEAD><TITLE>503 Service Unavailable</TITLE>";
    EXPECT_TRUE(IsAsfBusyPage(Bytes(page)));
    EXPECT_TRUE(IsAsfBusyPage(Bytes(page.substr(0, 30))));
    EXPECT_FALSE(IsAsfBusyPage(Bytes(page.substr(0, 29))));
    EXPECT_FALSE(IsAsfBusyPage(Bytes(" " + page)));

    // Motion-JPEG: anywhere in the first 255 bytes of the first chunk, NULs included.
    const std::string unauthorized = "<HTML><HEAD><TITLE>401 Unauthorized</TITLE>";
    std::string lead(255 - 35, '\0'); // the marker proper is 35 characters
    EXPECT_EQ(FindStreamRefusal(Bytes(lead + unauthorized)), Refusal::Unauthorized);
    EXPECT_EQ(FindStreamRefusal(Bytes(lead + " " + unauthorized)), Refusal::None);
    EXPECT_EQ(FindStreamRefusal(Bytes("MJPG" + page)), Refusal::Busy);
    EXPECT_EQ(FindStreamRefusal(Bytes("MJPG\x01\x02 ordinary frame data")), Refusal::None);
    EXPECT_EQ(FindStreamRefusal({}), Refusal::None);
    // Case matters.
    EXPECT_EQ(FindStreamRefusal(Bytes("<html><head><title>503 Service")), Refusal::None);
}

TEST(Refusal, AnswerMarkers) {
    EXPECT_TRUE(IsLoginRefused("x<HTML><HEAD><TITLE>401 Authorization Required"));
    EXPECT_FALSE(IsLoginRefused("ptctrl=on\rioctrl=on\r"));
    EXPECT_EQ(FindConfigRefusal("<HTML><HEAD><TITLE>401 Unauthorized</TITLE>"),
              Refusal::Unauthorized);
    EXPECT_EQ(FindConfigRefusal("<HTML><HEAD><TITLE>403 Forbidden</TITLE>"), Refusal::Forbidden);
    EXPECT_EQ(FindConfigRefusal("MOT: OK\r\n"), Refusal::None);
    EXPECT_EQ(FindConfigRefusal("<HTML><HEAD><TITLE>401 Auth"), Refusal::None);
}

TEST(Endpoints, ViewerUrlsComeFromTheSourceBase) {
    const std::string base = ViewerBase("http://cam:8080/img/mjpeg.cgi?Speed=5", false);
    EXPECT_EQ(base, "http://cam:8080/");
    EXPECT_EQ(ViewerBase("http://cam/img/video.asf", true), "http://cam/");
    EXPECT_EQ(ViewerBase("http://cam/img/video.asf", false), "");
    EXPECT_EQ(EndpointUrl(base, EndpointId::LoginQuery), "http://cam:8080/img/query.cgi");
    EXPECT_EQ(EndpointUrl(base, EndpointId::StreamQuery), "http://cam:8080/util/query.cgi");
    EXPECT_EQ(EndpointUrl(base, EndpointId::AsfStream), "http://cam:8080/img/video.asf");
    const std::string mjpeg = EndpointUrl(base, EndpointId::MJpegStream);
    EXPECT_EQ(MJpegUrlWithSpeed(mjpeg, ""), "http://cam:8080/img/mjpeg.cgi");
    EXPECT_EQ(MJpegUrlWithSpeed(mjpeg, "Fast"), "http://cam:8080/img/mjpeg.cgi");
    EXPECT_EQ(MJpegUrlWithSpeed(mjpeg, "15"), "http://cam:8080/img/mjpeg.cgi?Speed=15");
    EXPECT_EQ(PanTiltPositionUrl(EndpointUrl(base, EndpointId::PanTilt), -320, 225),
              "http://cam:8080/pt/ptctrl.cgi?position=-320,225,10");
}

TEST(Endpoints, MotionControlUrlsFollowABaseWithoutSlash) {
    const std::string base = "http://10.0.0.5";
    EXPECT_EQ(EndpointUrl(base, EndpointId::MotionConfig), "http://10.0.0.5/ocxparser.cgi");
    EXPECT_EQ(EndpointUrl(base, EndpointId::Snapshot), "http://10.0.0.5/snap.jpg");
    EXPECT_EQ(EndpointUrl(base, EndpointId::MotionMJpegStream), "http://10.0.0.5/img/mjpeg.cgi");
    EXPECT_EQ(EndpointUrl(base, EndpointId::MotionAsfStream), "http://10.0.0.5/img/video.asf");
    EXPECT_EQ(GetEndpoint(EndpointId::Snapshot).method, HttpMethod::Post);
    EXPECT_TRUE(GetEndpoint(EndpointId::MotionAsfStream).endlessBody);
}

} // namespace
} // namespace kestrova::net

#include "host_options.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace kestrova::app {
namespace {

std::optional<HostOptions> Parse(const QStringList& args, std::string* error = nullptr) {
    std::string e;
    bool help = false;
    auto o = ParseHostOptions(args, e, help);
    if (error)
        *error = e;
    return o;
}

TEST(HostOptionsTest, OptionsAndTheCameraUrl) {
    auto o = Parse({"--headless", "--type", "jpeg", "--seconds", "2.5", "--snapshot", "s.jpg",
                    "--record", "r.asf", "--audio-wav", "a.wav", "--screenshot", "p.png", "--stats",
                    "--size", "640x480", "http://cam/img/mjpeg.cgi"});
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->headless);
    EXPECT_TRUE(o->stats);
    EXPECT_EQ(o->type, "jpeg");
    EXPECT_DOUBLE_EQ(o->seconds, 2.5);
    EXPECT_EQ(o->snapshot, "s.jpg");
    EXPECT_EQ(o->record, "r.asf");
    EXPECT_EQ(o->audioWav, "a.wav");
    EXPECT_EQ(o->screenshot, "p.png");
    EXPECT_EQ(o->width, 640);
    EXPECT_EQ(o->height, 480);
    EXPECT_EQ(o->url, "http://cam/img/mjpeg.cgi");
}

TEST(HostOptionsTest, BadOptionsAreRefusedWithAReason) {
    std::string error;
    EXPECT_FALSE(Parse({"--type", "mpeg2"}, &error));
    EXPECT_NE(error.find("--type"), std::string::npos);
    EXPECT_FALSE(Parse({"--seconds"}, &error));
    EXPECT_NE(error.find("missing value"), std::string::npos);
    EXPECT_FALSE(Parse({"--seconds", "-1"}));
    EXPECT_FALSE(Parse({"--volume", "10"}));
    EXPECT_FALSE(Parse({"--size", "321x240"}));
    EXPECT_FALSE(Parse({"--frobnicate"}));
    EXPECT_FALSE(Parse({"http://a/", "http://b/"}));
    EXPECT_FALSE(Parse({"--type", "both", "http://a/img/video.asf"}));
}

TEST(HostOptionsTest, CredentialStringAsAPagePassesIt) {
    HostOptions o;
    o.user = "admin";
    o.password = "p:w";
    EXPECT_EQ(CredentialString(o), "Basic " + QByteArray("admin:p:w").toBase64().toStdString());
    o.auth = "Basic abc=";
    EXPECT_EQ(CredentialString(o), "Basic abc=");
}

} // namespace
} // namespace kestrova::app

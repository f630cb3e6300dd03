#include "viewer/auth_flow.h"
#include "viewer/camera_answer.h"
#include "viewer/save_target.h"
#include "viewer/string_table.h"

#include <QByteArray>
#include <deque>
#include <gtest/gtest.h>

namespace kestrova::viewer {
namespace {

std::string B64(const std::string& text) {
    return QByteArray::fromStdString(text).toBase64().toStdString();
}

TEST(AnswerValueTest, ReadsUpToTheCarriageReturn) {
    const std::string body = "ptctrl=on\r\nioctrl=off\r\ntype=mpeg4\r\nvoice_out=";
    EXPECT_EQ(AnswerValue(body, "ptctrl="), "on");
    EXPECT_EQ(AnswerValue(body, "ioctrl="), "off");
    EXPECT_EQ(AnswerValue(body, "type="), "mpeg4");
    EXPECT_EQ(AnswerValue(body, "voice_out="), "");
    EXPECT_EQ(AnswerValue(body, "speed="), std::nullopt);
    EXPECT_EQ(AnswerValue("a=1\nb=2", "a="), "1\nb=2"); // only CR ends a value
}

TEST(CredentialsTest, SchemeWordColonAndAnyLength) {
    auto c = DecodeCredentials("Basic " + B64("admin:secret"));
    EXPECT_EQ(c.user, "admin");
    EXPECT_EQ(c.password, "secret");
    c = DecodeCredentials(B64("admin:pa:ss"));
    EXPECT_EQ(c.user, "admin");
    EXPECT_EQ(c.password, "pa:ss");
    c = DecodeCredentials(B64("nocolon"));
    EXPECT_EQ(c.user, "");
    EXPECT_EQ(c.password, "nocolon");
    c = DecodeCredentials("");
    EXPECT_EQ(c.user, "");
    EXPECT_EQ(c.password, "");
    // Far beyond the old 72-character limit: nothing is cut.
    const std::string user(150, 'u');
    const std::string password(333, 'p');
    c = DecodeCredentials("Basic " + B64(user + ":" + password));
    EXPECT_EQ(c.user, user);
    EXPECT_EQ(c.password, password);
}

TEST(BrowsableUrlTest, OnlyHttpAndHttpsWithAHost) {
    EXPECT_TRUE(IsBrowsableUrl("http://192.168.0.20/setup.htm"));
    EXPECT_TRUE(IsBrowsableUrl("HTTPS://camera.example/adm/"));
    EXPECT_FALSE(IsBrowsableUrl(""));
    EXPECT_FALSE(IsBrowsableUrl("file:///etc/passwd"));
    EXPECT_FALSE(IsBrowsableUrl("javascript:alert(1)"));
    EXPECT_FALSE(IsBrowsableUrl("setup.htm; rm -rf ~"));
    EXPECT_FALSE(IsBrowsableUrl("http://"));
}

TEST(SaveTargetTest, FilterDecidesFormatAndMissingExtensionIsAdded) {
    auto t = ResolveSaveTarget("/tmp/a/Orlo20240102-030405", true);
    EXPECT_EQ(t.path, "/tmp/a/Orlo20240102-030405.jpg");
    EXPECT_EQ(t.format, ImageFormat::Jpeg);
    t = ResolveSaveTarget("/tmp/a/shot", false);
    EXPECT_EQ(t.path, "/tmp/a/shot.bmp");
    EXPECT_EQ(t.format, ImageFormat::Bmp);
    // Any extension is kept, the filter still decides the format.
    t = ResolveSaveTarget("/tmp/a/shot.bmp", true);
    EXPECT_EQ(t.path, "/tmp/a/shot.bmp");
    EXPECT_EQ(t.format, ImageFormat::Jpeg);
    // A dot in a folder name is no extension.
    t = ResolveSaveTarget("/tmp/a.b/shot", false);
    EXPECT_EQ(t.path, "/tmp/a.b/shot.bmp");
    EXPECT_TRUE(PathWantsJpeg("x/y.JPG"));
    EXPECT_TRUE(PathWantsJpeg("y.jpeg"));
    EXPECT_FALSE(PathWantsJpeg("y.bmp"));
    EXPECT_FALSE(PathWantsJpeg("dir.jpg/y"));
}

TEST(StringTableTest, MessagesShownToTheUser) {
    EXPECT_EQ(LoadString(kStrCannotConnect), "Can not connect.");
    EXPECT_EQ(LoadString(kStrLoginFailed), "Login failed. Username or password not recognized.");
    EXPECT_EQ(LoadString(kStrCameraBusy),
              "Unable to connect to Camera - too many users already connected or device is "
              "busy. Please try again later.");
    EXPECT_EQ(LoadString(kStrAccessLater), "After a while,\nplease access again.");
    EXPECT_EQ(LoadString(4242), "");
}

// A camera whose answers are scripted; records what was asked.
struct ScriptedCamera {
    std::deque<std::optional<std::string>> answers; // nothing: no answer in time
    std::vector<std::pair<std::string, std::string>> asked;
    CameraRequest Request() {
        return [this](std::string& body, const std::string&, const std::string& user,
                      const std::string& password) {
            asked.emplace_back(user, password);
            auto a = answers.front();
            answers.pop_front();
            if (!a)
                return false;
            body = *a;
            return true;
        };
    }
};

const std::string kRefused = "<HTML><HEAD><TITLE>401 Unauthorized</TITLE></HEAD></HTML>";

TEST(AuthFlowTest, RefusedThenAcceptedReadsTheRights) {
    ScriptedCamera cam;
    cam.answers = {kRefused, std::string("ptctrl=on\r\nioctrl=view\r\n")};
    AuthFlow flow("http://cam/img/query.cgi", "admin", "wrong", cam.Request());
    EXPECT_EQ(flow.PanTiltRights(), "off");
    EXPECT_EQ(flow.Try("admin", "wrong"), AuthOutcome::Refused);
    EXPECT_EQ(flow.FailedAttempts(), 1);
    EXPECT_EQ(flow.Try("admin", "right"), AuthOutcome::Accepted);
    EXPECT_EQ(flow.PanTiltRights(), "on");
    EXPECT_EQ(flow.IoRights(), "view");
    EXPECT_EQ(flow.Password(), "right");
    EXPECT_EQ(cam.asked.back().second, "right");
}

TEST(AuthFlowTest, ThirdRefusalGivesUpAndNoAnswerIsNotARefusal) {
    ScriptedCamera cam;
    cam.answers = {kRefused, std::nullopt, kRefused, kRefused};
    AuthFlow flow("u", "a", "b", cam.Request());
    EXPECT_EQ(flow.Try("a", "b"), AuthOutcome::Refused);
    EXPECT_EQ(flow.Try("a", "c"), AuthOutcome::CannotConnect);
    EXPECT_EQ(flow.FailedAttempts(), 1);
    EXPECT_EQ(flow.Try("a", "d"), AuthOutcome::Refused);
    EXPECT_EQ(flow.Try("a", "e"), AuthOutcome::GiveUp);
    EXPECT_EQ(flow.FailedAttempts(), 3);
}

TEST(AuthFlowTest, EmptyAnswerIsAcceptedWithRightsOff) {
    ScriptedCamera cam;
    cam.answers = {std::string()};
    AuthFlow flow("u", "a", "b", cam.Request());
    EXPECT_EQ(flow.Try("a", "b"), AuthOutcome::Accepted);
    EXPECT_EQ(flow.PanTiltRights(), "off");
    EXPECT_EQ(flow.IoRights(), "off");
}

} // namespace
} // namespace kestrova::viewer

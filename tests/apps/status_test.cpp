#include "picture_stage.h"
#include "status_model.h"
#include "window_answers.h"

#include <gtest/gtest.h>

namespace kestrova::app {
namespace {

viewer::PlayerStatistics Stats(uint64_t mpeg4, uint64_t jpeg, uint64_t bytes,
                               std::vector<int> codes = {}) {
    viewer::PlayerStatistics s;
    s.picturesMpeg4 = mpeg4;
    s.picturesJpeg = jpeg;
    s.bytesReceived = bytes;
    s.endedCodes = std::move(codes);
    s.width = 640;
    s.height = 480;
    s.playing = true;
    return s;
}

// One play from the window's point of view: what the control reports, step by step, and
// the words the user then reads.
TEST(StatusModelTest, WordsFollowWhatTheControlReports) {
    StatusModel m;
    m.Begin("cam:80", Stats(5, 0, 1000), 0);
    EXPECT_EQ(m.State(), CameraState::Connecting);
    EXPECT_EQ(m.Text(), "Connecting to cam:80\u2026");

    m.Sample(Stats(5, 0, 1000), 500); // nothing new yet: still connecting, not stalled
    EXPECT_EQ(m.State(), CameraState::Connecting);
    m.Sample(Stats(30, 0, 126000), 1500); // 25 pictures, 125000 bytes in 1.5 s
    EXPECT_EQ(m.State(), CameraState::Playing);
    EXPECT_EQ(m.Kind(), "MPEG-4");
    EXPECT_NEAR(m.PicturesPerSecond(), 25 / 1.5, 0.01);
    EXPECT_NEAR(m.KbitPerSecond(), 125000 * 8 / 1500.0, 0.01);
    EXPECT_EQ(m.Width(), 640);

    m.Sample(Stats(30, 0, 126000), 2400); // 0.9 s without a picture: still playing
    EXPECT_EQ(m.State(), CameraState::Playing);
    m.Sample(Stats(30, 0, 126000), 3100); // 1.6 s: the camera stopped sending
    EXPECT_EQ(m.State(), CameraState::Stalled);
    EXPECT_NE(m.Text().find("The camera stopped sending"), std::string::npos);

    m.Sample(Stats(30, 0, 126000, {400}), 3300); // the play ended; the control restarts it
    EXPECT_EQ(m.State(), CameraState::Reconnecting);
    m.Sample(Stats(30, 0, 126000, {400, 200}), 4600);
    EXPECT_EQ(m.State(), CameraState::CannotConnect);
    m.SetReason("connection refused");
    EXPECT_EQ(m.Text(),
              "Cannot connect to cam:80 (connection refused). Retrying (attempt 2)\u2026");

    m.Sample(Stats(30, 4, 130000, {400, 200}), 6000); // back, now on Motion-JPEG
    EXPECT_EQ(m.State(), CameraState::Playing);
    EXPECT_EQ(m.Kind(), "Motion-JPEG");
    EXPECT_EQ(m.Info().attempt, 0);

    m.Sample(Stats(30, 4, 130000, {400, 200, 310}), 6200);
    EXPECT_EQ(m.State(), CameraState::Busy);
    // A camera sending one picture a second is not stalled between pictures.
    StatusModel slow;
    slow.Begin("cam:80", Stats(0, 0, 0), 0);
    for (int64_t t = 1000; t <= 3000; t += 1000)
        slow.Sample(Stats(0, static_cast<uint64_t>(t / 1000), 0), t);
    slow.Sample(Stats(0, 3, 0), 6500);
    EXPECT_EQ(slow.State(), CameraState::Playing);
    slow.Sample(Stats(0, 3, 0), 7100);
    EXPECT_EQ(slow.State(), CameraState::Stalled);

    m.Stopped();
    m.Sample(Stats(30, 4, 130000, {400, 200, 310}), 9000);
    EXPECT_EQ(m.State(), CameraState::Stopped) << "a stopped play never counts as stalled";
}

TEST(StatusModelTest, MessageBoxesBecomeStates) {
    const std::pair<int, CameraState> cases[] = {{1006, CameraState::LoginRefused},
                                                 {1007, CameraState::CannotConnect},
                                                 {1008, CameraState::Busy}};
    for (const auto& [id, state] : cases) {
        StatusModel m;
        m.Begin("cam:80", {}, 0);
        m.Message(id);
        EXPECT_EQ(m.State(), state) << id;
    }
    StatusModel m;
    m.Begin("cam:80", {}, 0);
    m.Message(1007);
    EXPECT_EQ(m.Text(), "Cannot connect to cam:80. Space tries again.");
    m.Message(1006);
    EXPECT_EQ(m.Text(), "Camera refused the login at cam:80. Ctrl+O or Space tries again.");
}

TEST(StatusTextTest, SizesTimesAndRates) {
    EXPECT_EQ(FormatSize(12), "12 B");
    EXPECT_EQ(FormatSize(830'500), "830 kB");
    EXPECT_EQ(FormatSize(1'450'000), "1.4 MB");
    EXPECT_EQ(FormatElapsed(7), "0:07");
    EXPECT_EQ(FormatElapsed(723), "12:03");
    EXPECT_EQ(FormatElapsed(3723), "1:02:03");
    EXPECT_EQ(FormatPictureSize(0, 480), "");
    EXPECT_EQ(FormatRate(25), "25.0 pictures/s");
    EXPECT_EQ(FormatBitRate(811.6), "812 kbit/s");
}

// The picture keeps its shape and sits in the middle; the rest is bars.
TEST(PictureStageTest, FitKeepsTheShape) {
    struct Case {
        QSize area;
        int w, h;
        QRect fit;
    };
    const Case cases[] = {
        {{640, 480}, 640, 480, {0, 0, 640, 480}},    // exact
        {{1000, 480}, 640, 480, {180, 0, 640, 480}}, // bars left and right
        {{640, 800}, 640, 480, {0, 160, 640, 480}},  // bars above and below
        {{1280, 720}, 320, 240, {160, 0, 960, 720}}, // enlarged
        {{160, 120}, 704, 480, {0, 5, 160, 109}},    // camera's 704 wide picture, shrunk
        {{300, 300}, 0, 0, {0, 37, 300, 225}},       // size unknown: 4:3
    };
    for (const Case& c : cases)
        EXPECT_EQ(PictureStage::FitRect(c.area, c.w, c.h), c.fit)
            << c.area.width() << "x" << c.area.height() << " for " << c.w << "x" << c.h;
}

TEST(WindowAnswersTest, SnapshotNameCarriesTheProgramAndIsJpeg) {
    EXPECT_EQ(WindowAnswers::ProposedSnapshotName("/home/u/Pictures/Orlo20261209-071500"),
              "/home/u/Pictures/kestrova-20261209-071500.jpg");
    WindowAnswers answers(nullptr);
    answers.SetSaveAsker([](const std::string&) { return std::optional<std::string>("/tmp/a"); });
    auto saved = answers.SnapshotAnswer("/x/Orlo20260101-000000");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->path, "/tmp/a.jpg");
    EXPECT_TRUE(saved->jpgFilter);
    answers.SetSaveAsker(
        [](const std::string&) { return std::optional<std::string>("/tmp/b.BMP"); });
    saved = answers.SnapshotAnswer("/x/Orlo20260101-000000");
    ASSERT_TRUE(saved);
    EXPECT_FALSE(saved->jpgFilter);
}

} // namespace
} // namespace kestrova::app

#include "camera_wall.h"
#include "open_dialog.h"
#include "picture_stage.h"
#include "recent_cameras.h"
#include "window_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTcpServer>
#include <QTest>

namespace kestrova::app::test {
namespace {

using namespace std::chrono_literals;

// What a user meets first: the camera plays, the picture fills the window with its shape
// kept and black bars beside it, and the status bar says what plays at what rate.
TEST_F(WindowFixture, PlaysScaledWithBlackBarsAndSaysWhatPlays) {
    StartCamera();
    ASSERT_TRUE(OpenCamera());
    ASSERT_TRUE(WaitForState(CameraState::Playing));
    EXPECT_TRUE(window_->windowTitle().contains(
        QString::fromStdString(CameraAt(camera_->BaseUrl()).HostPort())));
    ASSERT_TRUE(WaitFor([&] { return window_->StatusText().contains("pictures/s"); }));
    const QString status = window_->StatusText();
    EXPECT_TRUE(status.contains("MPEG-4")) << status.toStdString();
    EXPECT_TRUE(status.contains("320x240")) << status.toStdString();
    EXPECT_TRUE(status.contains("kbit/s")) << status.toStdString();
    EXPECT_TRUE(window_->Stage().Message().isEmpty());

    // A wide window: the picture keeps 4:3 in the middle, the bars are black.
    window_->resize(1000, 500);
    PictureStage& stage = window_->Stage();
    ASSERT_TRUE(WaitFor([&] { return stage.width() > 800; }));
    const QRect pic = stage.PictureRect();
    EXPECT_EQ(pic, PictureStage::FitRect(stage.size(), 320, 240));
    EXPECT_GT(pic.left(), 50);
    const auto before = control_->As<viewer::PlayerHostInterface>()->Statistics();
    ASSERT_TRUE(WaitFor([&] {
        const auto s = control_->As<viewer::PlayerHostInterface>()->Statistics();
        return s.picturesMpeg4 > before.picturesMpeg4 + 3;
    }));
    const QImage shot = stage.grab().toImage();
    EXPECT_EQ(shot.pixelColor(pic.left() / 2, shot.height() / 2), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(shot.width() - pic.left() / 2, shot.height() / 2), QColor(Qt::black));
    // The picture itself reaches the far corner of its rectangle: scaled, not white.
    const QColor corner = shot.pixelColor(pic.right() - 2, pic.bottom() - 2);
    EXPECT_NE(corner, QColor(Qt::white));
}

// The camera goes away while playing: within 2 s the picture area says so, and the
// reconnect attempts name the camera and the reason.
TEST_F(WindowFixture, CameraThatStopsIsReportedOverThePicture) {
    StartCamera();
    ASSERT_TRUE(OpenCamera());
    ASSERT_TRUE(WaitForState(CameraState::Playing));
    const std::string hostPort = CameraAt(camera_->BaseUrl()).HostPort();
    camera_->Stop();
    // The words come from the window's own rule (pictures missing for a second) or the
    // control's ended play, whichever is first; both within about 2 s.
    ASSERT_TRUE(WaitFor([&] { return !window_->Stage().Message().isEmpty(); }, 5s))
        << "nothing said after the camera stopped";
    ASSERT_TRUE(WaitFor(
        [&] {
            return window_->Stage().Message().contains(
                QString::fromStdString("Cannot connect to " + hostPort + " (connection refused)"));
        },
        8s))
        << window_->Stage().Message().toStdString();
    EXPECT_TRUE(window_->StatusText().contains("Retrying"));
}

// Nothing listens at the address: the window says so at once, in words, and stays open.
TEST_F(WindowFixture, NothingListeningSaysConnectionRefused) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const int port = probe.serverPort();
    probe.close();
    const std::string at = "127.0.0.1:" + std::to_string(port);
    // The login check finds nobody and lets the play start (as a page's control does);
    // the play then cannot connect and the control keeps trying.
    window_->Open(CameraAt(at), "admin", "admin", "");
    ASSERT_TRUE(WaitFor([&] {
        return window_->Stage().Message().startsWith(
            QString::fromStdString("Cannot connect to " + at + " (connection refused)"));
    })) << window_->Stage().Message().toStdString();
    EXPECT_TRUE(window_->isVisible());
    EXPECT_FALSE(window_->Stage().PictureShown());
}

// A wrong password brings a prompt that names the camera and says it was refused;
// cancelling it keeps the window with the message, and Space tries again.
TEST_F(WindowFixture, LoginPromptCancelKeepsTheWindowAndRetryWorks) {
    StartCamera();
    std::vector<std::pair<std::string, int>> asked;
    window_->Answers().SetLoginAsker([&](const std::string& camera, int failed) {
        asked.emplace_back(camera, failed);
        return std::optional<viewer::DialogHost::Login>{};
    });
    EXPECT_FALSE(OpenCamera("admin", "wrong"));
    const std::string hostPort = CameraAt(camera_->BaseUrl()).HostPort();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].first, hostPort);
    EXPECT_EQ(window_->Model().State(), CameraState::LoginRefused);
    EXPECT_TRUE(window_->Stage().Message().startsWith("Camera refused the login"));
    EXPECT_TRUE(window_->isVisible());

    window_->Answers().SetLoginAsker([&](const std::string& camera, int failed) {
        asked.emplace_back(camera, failed);
        return std::optional<viewer::DialogHost::Login>(
            {"admin", failed < 2 ? "still wrong" : "secret"});
    });
    QTest::keyClick(window_.get(), Qt::Key_Space);
    ASSERT_TRUE(WaitForState(CameraState::Playing)) << window_->StatusText().toStdString();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[2].second, 2) << "the second prompt knows the first answer was refused";
}

// Shortcuts work, toggles show their state, tooltips name the key, and the volume and
// view settings are there at the next start.
TEST_F(WindowFixture, ShortcutsTogglesAndSettingsThatLast) {
    StartCamera();
    ASSERT_TRUE(OpenCamera());
    ASSERT_TRUE(WaitForState(CameraState::Playing));
    const std::pair<const char*, Qt::Key> toggles[] = {
        {"flip", Qt::Key_F}, {"mirror", Qt::Key_M}, {"sound", Qt::Key_U}, {"zoom", Qt::Key_Z}};
    for (const auto& [name, key] : toggles) {
        QAction* a = window_->Action(name);
        ASSERT_TRUE(a);
        const bool before = a->isChecked();
        QTest::keyClick(window_.get(), key);
        EXPECT_NE(a->isChecked(), before) << name;
        EXPECT_TRUE(a->toolTip().endsWith("(" + QKeySequence(key).toString() + ")")) << name;
    }
    EXPECT_TRUE(window_->StatusText().contains("Sound off")) << window_->StatusText().toStdString();
    window_->findChild<QSlider*>("Volume")->setValue(4);
    QTest::keyClick(window_.get(), Qt::Key_Space);
    EXPECT_EQ(window_->Model().State(), CameraState::Stopped);
    EXPECT_FALSE(window_->Stage().PictureShown()) << "the last picture does not stay after Stop";
    EXPECT_EQ(window_->Action("play")->text(), "Play");
    window_->close();

    const ViewSettings kept = LoadViewSettings();
    EXPECT_EQ(kept.volume, 4);
    EXPECT_FALSE(kept.sound);
    EXPECT_TRUE(kept.flip);
    EXPECT_TRUE(kept.mirror);
}

// S saves a snapshot under the program's name as JPEG and confirms the path; R records
// and shows the time and size while it does.
TEST_F(WindowFixture, SnapshotAndRecordingConfirmWhatWasSaved) {
    StartCamera();
    ASSERT_TRUE(OpenCamera());
    ASSERT_TRUE(WaitForState(CameraState::Playing));
    std::string proposed;
    window_->Answers().SetSaveAsker([&](const std::string& name) {
        proposed = name;
        return std::optional<std::string>(dir_.filePath("shot").toStdString());
    });
    QTest::keyClick(window_.get(), Qt::Key_S);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(proposed)).fileName().startsWith("kestrova-"));
    EXPECT_TRUE(QString::fromStdString(proposed).endsWith(".jpg"));
    const QString shot = dir_.filePath("shot.jpg");
    EXPECT_GT(QFileInfo(shot).size(), 0);
    EXPECT_TRUE(window_->StatusText().contains("Snapshot saved: " + shot))
        << window_->StatusText().toStdString();

    QTest::keyClick(window_.get(), Qt::Key_R);
    EXPECT_TRUE(window_->Action("record")->isChecked());
    const QString path = QString::fromStdString(window_->RecordingPath());
    ASSERT_FALSE(path.isEmpty());
    auto* rec = window_->findChild<QLabel*>("RecordingText");
    ASSERT_TRUE(WaitFor([&] { return QFileInfo(path).size() > 20000; }));
    window_->Poll();
    EXPECT_TRUE(rec->isVisible());
    EXPECT_TRUE(rec->text().startsWith(QStringLiteral("\u25cf REC 0:0")))
        << rec->text().toStdString();
    QTest::keyClick(window_.get(), Qt::Key_R);
    EXPECT_FALSE(rec->isVisible());
    EXPECT_TRUE(window_->StatusText().contains("Recording saved: " + path));
}

// The open dialog takes the address in any form, refuses what it cannot open without
// closing, and remembers the camera (the password only when asked to).
TEST_F(WindowFixture, OpenDialogAddressFormsAndRecentCameras) {
    StartCamera();
    const std::string hostPort = CameraAt(camera_->BaseUrl()).HostPort();
    {
        OpenDialog d({}, true);
        auto* address = d.findChild<QComboBox*>("Address");
        address->setEditText("rtsp://" + QString::fromStdString(hostPort) + "/live");
        d.findChild<QPushButton*>("OpenButton")->click();
        EXPECT_FALSE(d.Request());
        EXPECT_TRUE(d.findChild<QLabel*>("Error")->text().contains("http://"));
        address->setEditText("admin:secret@" + QString::fromStdString(hostPort));
        d.findChild<QPushButton*>("AddButton")->click();
        ASSERT_TRUE(d.Request());
        EXPECT_TRUE(d.Request()->add);
        EXPECT_EQ(d.Request()->user, "admin");
        EXPECT_EQ(d.Request()->password, "secret");
        EXPECT_EQ(d.Request()->address.base, camera_->BaseUrl());
    }
    RecentCamera kept{camera_->BaseUrl(), "admin", "secret", true, "jpeg"};
    ASSERT_TRUE(RecentCameras::Remember(kept));
    ASSERT_TRUE(RecentCameras::Remember({"http://other/", "op", "pw", false, ""}));
    const auto recent = RecentCameras::Load();
    ASSERT_EQ(recent.size(), 2u);
    EXPECT_EQ(recent[0].address, "http://other/");
    EXPECT_EQ(recent[0].password, "") << "a password not to remember is not stored";
    EXPECT_EQ(recent[1].password, "secret");

    OpenDialog d(recent, false);
    d.findChild<QComboBox*>("Address")->setCurrentIndex(1);
    emit d.findChild<QComboBox*>("Address")->activated(1);
    EXPECT_EQ(d.findChild<QLineEdit*>("Password")->text(), "secret");
    d.findChild<QPushButton*>("OpenButton")->click();
    ASSERT_TRUE(d.Request());
    window_->SetOpenAsker([&] { return d.Request(); });
    QTest::keySequence(window_.get(), QKeySequence::Open);
    ASSERT_TRUE(WaitForState(CameraState::Playing)) << window_->StatusText().toStdString();
    EXPECT_EQ(window_->Model().Kind(), "MPEG-4") << "the camera's own stream kind wins";
}

// Two cameras side by side, each with its own control and status line; a click selects
// the one the buttons act on, a double-click enlarges it and another brings the grid back.
TEST_F(WindowFixture, WallOfCamerasSelectsAndEnlarges) {
    StartCamera();
    sim::SimOptions second;
    second.password = "secret";
    second.streamType = sim::StreamType::Jpeg;
    sim::CameraSimulator other(second);
    ASSERT_TRUE(other.Start());
    CameraWall wall;
    wall.show();
    ASSERT_TRUE(wall.AddCamera(CameraAt(camera_->BaseUrl()), "admin", "secret", ""));
    ASSERT_TRUE(wall.AddCamera(CameraAt(other.BaseUrl()), "admin", "secret", ""));
    ASSERT_EQ(wall.Count(), 2);
    ASSERT_TRUE(WaitFor([&] {
        return wall.Tile(0)->Model().State() == CameraState::Playing &&
               wall.Tile(1)->Model().State() == CameraState::Playing;
    }));
    EXPECT_EQ(wall.Tile(0)->Model().Kind(), "MPEG-4");
    EXPECT_EQ(wall.Tile(1)->Model().Kind(), "Motion-JPEG");
    EXPECT_NE(wall.Tile(0)->geometry().topLeft(), wall.Tile(1)->geometry().topLeft());

    QTest::mouseClick(&wall.Tile(0)->Stage(), Qt::LeftButton);
    EXPECT_EQ(wall.Selected(), 0);
    QTest::keyClick(&wall, Qt::Key_F);
    EXPECT_TRUE(wall.Tile(0)->Action("flip")->isChecked());
    EXPECT_FALSE(wall.Tile(1)->Action("flip")->isChecked());
    // Tiles start silent; the sound key sounds the selected camera only.
    EXPECT_FALSE(wall.Tile(0)->Action("sound")->isChecked());
    QTest::keyClick(&wall, Qt::Key_U);
    EXPECT_TRUE(wall.Tile(0)->Action("sound")->isChecked());
    EXPECT_FALSE(wall.Tile(1)->Action("sound")->isChecked());

    QTest::mouseDClick(&wall.Tile(1)->Stage(), Qt::LeftButton);
    EXPECT_EQ(wall.Enlarged(), 1);
    EXPECT_FALSE(wall.Tile(0)->isVisible());
    QTest::mouseDClick(&wall.Tile(1)->Stage(), Qt::LeftButton);
    EXPECT_EQ(wall.Enlarged(), -1);
    EXPECT_TRUE(wall.Tile(0)->isVisible());
}

// On a real X server (scripts/test runs this under xvfb-run): F11 fills the screen with the
// picture and hides the bars, Escape brings the window back, a double-click on the picture
// does the same as F11, and a window made smaller keeps the picture's shape.
TEST_F(WindowFixture, FullScreenAndResizingOnAnXServer) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)";
    StartCamera();
    ASSERT_TRUE(OpenCamera());
    ASSERT_TRUE(WaitForState(CameraState::Playing));
    const QRect screen = window_->screen()->geometry();
    QTest::keyClick(window_.get(), Qt::Key_F11);
    ASSERT_TRUE(WaitFor([&] { return window_->geometry() == screen; }, 5s))
        << window_->geometry().width() << "x" << window_->geometry().height();
    ASSERT_TRUE(WaitFor([&] { return window_->Stage().size() == screen.size(); }, 5s));
    EXPECT_EQ(window_->Stage().PictureRect(), PictureStage::FitRect(screen.size(), 320, 240));
    EXPECT_TRUE(window_->Action("fullscreen")->isChecked());
    QTest::keyClick(window_.get(), Qt::Key_Escape);
    ASSERT_TRUE(
        WaitFor([&] { return !window_->isFullScreen() && window_->geometry() != screen; }, 5s));
    EXPECT_FALSE(window_->Action("fullscreen")->isChecked());

    QTest::mouseDClick(&window_->Stage(), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return window_->isFullScreen(); }, 5s));
    QTest::keyClick(window_.get(), Qt::Key_Escape);
    ASSERT_TRUE(WaitFor([&] { return !window_->isFullScreen(); }, 5s));

    window_->resize(300, 400); // a tall narrow window: bars above and below
    ASSERT_TRUE(WaitFor([&] { return window_->Stage().width() == 300; }, 5s));
    const QRect pic = window_->Stage().PictureRect();
    EXPECT_EQ(pic.width(), 300);
    EXPECT_NEAR(pic.height(), 225, 1);
    EXPECT_GT(pic.top(), 0);
}

} // namespace
} // namespace kestrova::app::test

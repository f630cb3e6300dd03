#include "viewer/string_table.h"
#include "viewer_fixture.h"

#include <QFile>
#include <QLabel>
#include <QTest>

namespace kestrova::viewer::testing {
namespace {

using PlayTest = ViewerTest;

const QSize kPicture(320, 240);

void ExpectBars(const QImage& img, QSize drawn, bool mirrored = false) {
    for (int i = 0; i < 8; ++i) {
        const QRgb c = ViewerTest::BarColour(img, drawn, i, mirrored);
        EXPECT_TRUE(ViewerTest::Near(c, kBarRgb[i]))
            << "bar " << i << " drawn as " << qRed(c) << "," << qGreen(c) << "," << qBlue(c);
    }
}

TEST_F(PlayTest, Mpeg4PlaysTheSceneAndStops) {
    StartCamera();
    MakeControl();
    ASSERT_TRUE(SourceAndPlay(true));
    ASSERT_TRUE(WaitFrames(3));
    EXPECT_EQ(window->FrameType(), "mpeg");
    EXPECT_EQ(window->StreamWidth(), 320);
    EXPECT_EQ(window->StreamHeight(), 240);
    EXPECT_FALSE(window->StatusText()->isVisible());
    const QImage img = Grab();
    ExpectBars(img, kPicture);
    // Outside the drawn picture the window is white.
    EXPECT_EQ(img.pixel(500, 400), qRgb(255, 255, 255));
    control->StopPlay();
    EXPECT_FALSE(window->IsPlaying());
    EXPECT_TRUE(window->EndedCodes().empty());
}

// A page that sets the source before the control is shown gets its play when the
// control's window is created, once.
TEST_F(PlayTest, SourceSetBeforeTheWindowExistsPlaysWhenItIsCreated) {
    StartCamera();
    MakeControl(false, /*shown=*/false);
    control->SetSource(StreamUrl(true), "mpeg", "off", "", Credentials("admin", "admin"));
    ASSERT_TRUE(window->SourceReady());
    EXPECT_FALSE(window->IsPlaying());
    control->show();
    EXPECT_TRUE(window->IsPlaying());
    ASSERT_TRUE(WaitFrames(3));
    control->StopPlay();
    control->hide();
    control->show(); // the same window shown again: no new play
    EXPECT_FALSE(window->IsPlaying());
}

TEST_F(PlayTest, MotionJpegPlaysTheScene) {
    sim::SimOptions o;
    o.streamType = sim::StreamType::Jpeg;
    StartCamera(o);
    MakeControl();
    // The page says "mpeg", the camera answers "type=jpeg": the camera wins.
    ASSERT_TRUE(SourceAndPlay(true));
    ASSERT_TRUE(WaitFrames(3));
    EXPECT_EQ(window->FrameType(), "jpeg");
    ExpectBars(Grab(), kPicture);
    control->StopPlay();
    EXPECT_FALSE(window->IsPlaying());
}

TEST_F(PlayTest, MirrorFlipAndRestoreAreDrawn) {
    StartCamera();
    MakeControl();
    ASSERT_TRUE(SourceAndPlay(true));
    ASSERT_TRUE(WaitFrames(2));
    control->VideoMirror();
    EXPECT_EQ(window->MirrorModeValue(), 2);
    ASSERT_TRUE(WaitFrames(2));
    ExpectBars(Grab(), kPicture, /*mirrored=*/true);

    control->VideoFlip();
    EXPECT_EQ(window->MirrorModeValue(), 3);
    ASSERT_TRUE(WaitFrames(2));
    // Flipped: the grey ramp (bottom third of the scene) is at the top, dark on the right.
    // The moving square may cover part of a quarter, never enough to turn the order.
    const QImage img = Grab();
    auto quarterMean = [&](int x0) {
        int sum = 0;
        for (int x = x0; x < x0 + 80; ++x)
            sum += qGreen(img.pixel(x, 12));
        return sum / 80;
    };
    EXPECT_GT(quarterMean(0), quarterMean(240) + 50);

    control->VideoFlip();
    control->VideoFlip();
    EXPECT_EQ(window->MirrorModeValue(), 3); // two flips return to the mode before

    control->RestoreVideo();
    EXPECT_EQ(window->MirrorModeValue(), 0);
    ASSERT_TRUE(WaitFrames(2));
    ExpectBars(Grab(), kPicture);
}

TEST_F(PlayTest, ViewSizeAndZoomPercentChangeTheDrawnSize) {
    StartCamera();
    MakeControl();
    ASSERT_TRUE(SourceAndPlay(true));
    ASSERT_TRUE(WaitFrames(2));
    EXPECT_EQ(window->Composer().Latest().size(), kPicture);
    control->SetViewSize(160, 120);
    ASSERT_TRUE(WaitFrames(2));
    EXPECT_EQ(window->Composer().Latest().size(), QSize(160, 120));
    control->SetZoomPercent(300);
    ASSERT_TRUE(WaitFrames(2));
    EXPECT_EQ(window->Composer().Latest().size(), QSize(480, 360));
    ExpectBars(Grab(), QSize(480, 360));
}

TEST_F(PlayTest, RestartsAfterACameraFault) {
    StartCamera();
    ASSERT_TRUE(camera->SetFault("close-mid-frame"));
    MakeControl();
    ASSERT_TRUE(SourceAndPlay(true));
    ASSERT_TRUE(WaitFor([&] { return !window->EndedCodes().empty(); }));
    EXPECT_NE(window->EndedCodes().front(), 310);
    camera->SetFault("");
    // The window stopped and started the play again by itself: pictures keep coming.
    ASSERT_TRUE(WaitFrames(5));
    EXPECT_TRUE(window->IsPlaying());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_GE(CameraCount("/img/video.asf"), 2);
}

TEST_F(PlayTest, BusyCameraShowsTheMessageAndStaysStopped) {
    StartCamera();
    ASSERT_TRUE(camera->SetFault("busy-503"));
    MakeControl();
    ASSERT_TRUE(SourceAndPlay(true));
    ASSERT_TRUE(WaitFor([&] { return !host.messages.empty(); }));
    EXPECT_EQ(host.messages, std::vector<int>{kStrCameraBusy});
    EXPECT_EQ(window->EndedCodes(), std::vector<int>{310});
    camera->SetFault("");
    QTest::qWait(600);
    EXPECT_FALSE(window->IsPlaying());
    EXPECT_EQ(CameraCount("/img/video.asf"), 1);
}

TEST_F(PlayTest, RecordsTheStreamButNeverThroughALink) {
    StartCamera();
    MakeControl();
    const QString victim = temp->filePath("victim");
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep");
    }
    const QString link = temp->filePath("link.asf");
    ASSERT_TRUE(QFile::link(victim, link));
    control->SetSource(StreamUrl(true), "mpeg", "off", "", Credentials("admin", "admin"));
    control->StartPlay(1, link);
    ASSERT_TRUE(WaitFrames(2));
    control->StopPlay();
    QFile kept(victim);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("keep"));

    const QString record = temp->filePath("rec.asf");
    control->StartPlay(1, record);
    ASSERT_TRUE(WaitFrames(2));
    control->StopPlay();
    QFile rec(record);
    ASSERT_TRUE(rec.open(QIODevice::ReadOnly));
    const QByteArray head = rec.read(4);
    EXPECT_EQ(head, QByteArray::fromHex("3026b275")); // the ASF header object
}

} // namespace
} // namespace kestrova::viewer::testing

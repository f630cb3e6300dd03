#include "viewer_fixture.h"

#include <QMouseEvent>
#include <QTest>
#include <regex>

namespace kestrova::viewer::testing {
namespace {

class ClickTest : public ViewerTest {
protected:
    // A press and release at exactly (x, y); QTest takes (0, 0) for "the centre".
    void Click(int x, int y) {
        const QPointF local(x, y);
        const QPointF global = window->mapToGlobal(local);
        QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(window, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(window, &release);
    }
    // The last position camsim received, or nothing.
    std::optional<std::pair<int, int>> LastPosition() const {
        const std::string status = camera->StatusJson();
        const std::regex re("\"pan_tilt\":\\{\"pan\":(-?[0-9]+),\"tilt\":(-?[0-9]+)");
        std::smatch m;
        if (!std::regex_search(status, m, re))
            return std::nullopt;
        return std::make_pair(std::stoi(m[1]), std::stoi(m[2]));
    }
    bool HasGreenOverlay(const QImage& img) const {
        for (int y = 10; y < 50; ++y)
            for (int x = 10; x < 100; ++x) {
                const QRgb c = img.pixel(x, y);
                if (qGreen(c) > 200 && qRed(c) < 60 && qBlue(c) < 60)
                    return true;
            }
        return false;
    }
};

TEST_F(ClickTest, ZoomClickAtTheLeftEdgeDrawsTheTopLeftQuarterWith2X) {
    StartCamera();
    MakeControl();
    ASSERT_TRUE(SourceAndPlay(true));
    ASSERT_TRUE(WaitFrames(2));
    EXPECT_FALSE(HasGreenOverlay(Grab()));
    control->VideoZoom();
    EXPECT_TRUE(window->ZoomArmed());
    EXPECT_EQ(window->cursor().shape(), Qt::BitmapCursor);
    Click(3, 3);
    EXPECT_TRUE(window->ZoomApplied());
    EXPECT_EQ(window->ZoomViewWindow(), (Rect{0, 0, 160, 120}));
    EXPECT_EQ(window->ZoomOrigin(), (Point{0, 0}));
    EXPECT_FALSE(window->HasZoomCursor());
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    ASSERT_TRUE(WaitFrames(2));
    const QImage img = Grab();
    EXPECT_TRUE(HasGreenOverlay(img));
    // Bars 0..3 of the picture now fill the drawn width, two columns of eight each.
    for (int i = 0; i < 4; ++i) {
        const QRgb c = BarColour(img, QSize(320, 240), 2 * i + 1);
        EXPECT_TRUE(Near(c, kBarRgb[i]))
            << "bar " << i << ": " << qRed(c) << "," << qGreen(c) << "," << qBlue(c);
    }
    // A second VideoZoom disarms; the drawing loses the overlay.
    control->VideoZoom();
    EXPECT_FALSE(window->ZoomArmed());
    EXPECT_EQ(window->ZoomViewWindow().left, -1);
    ASSERT_TRUE(WaitFrames(2));
    EXPECT_FALSE(HasGreenOverlay(Grab()));
}

TEST_F(ClickTest, ZoomOnAMirroredViewShowsTheClickedSide) {
    StartCamera();
    MakeControl();
    ASSERT_TRUE(SourceAndPlay(true));
    ASSERT_TRUE(WaitFrames(2));
    control->VideoMirror();
    control->VideoZoom();
    Click(319, 60); // right edge of the mirrored view: the picture's left bars
    EXPECT_EQ(window->ZoomViewWindow(), (Rect{160, 0, 320, 120}));
    EXPECT_EQ(window->ZoomOrigin(), (Point{0, 0}));
    ASSERT_TRUE(WaitFrames(2));
    const QImage img = Grab();
    for (int i = 0; i < 4; ++i) {
        const QRgb c = BarColour(img, QSize(320, 240), 2 * i + 1, /*mirrored=*/true);
        EXPECT_TRUE(Near(c, kBarRgb[i])) << "bar " << i;
    }
    control->RestoreVideo();
    EXPECT_FALSE(window->ZoomApplied());
    EXPECT_EQ(window->MirrorModeValue(), 0);
}

TEST_F(ClickTest, PanTiltClicksReachTheCameraWithOrientedSigns) {
    sim::SimOptions o;
    o.width = 640;
    o.height = 480;
    o.streamType = sim::StreamType::Jpeg;
    o.fps = 10;
    StartCamera(o);
    MakeControl();
    ASSERT_TRUE(SourceAndPlay(false));
    ASSERT_TRUE(WaitFrames(1));
    // Pan/tilt mode off: a click sends nothing.
    Click(0, 0);
    EXPECT_FALSE(LastPosition());

    control->DirectPT(5);
    EXPECT_TRUE(window->PanTiltMode());
    EXPECT_EQ(window->cursor().shape(), Qt::BitmapCursor);
    Click(320, 240);
    EXPECT_EQ(LastPosition(), std::make_pair(0, 0));
    Click(0, 0);
    EXPECT_EQ(LastPosition(), std::make_pair(-320, 225));
    control->VideoMirror();
    Click(0, 0);
    EXPECT_EQ(LastPosition(), std::make_pair(320, 225));
    control->VideoFlip();
    Click(0, 0);
    EXPECT_EQ(LastPosition(), std::make_pair(320, -225));
    control->RestoreVideo();

    // An armed zoom takes the next click; no cursor shows while it waits.
    control->VideoZoom();
    EXPECT_EQ(window->cursor().shape(), Qt::BitmapCursor); // the zoom cursor wins
    Click(320, 240);
    EXPECT_EQ(LastPosition(), std::make_pair(320, -225));  // unchanged
    EXPECT_EQ(window->cursor().shape(), Qt::BitmapCursor); // pan/tilt cursor again
    // Applied zoom halves the offsets.
    Click(0, 0);
    EXPECT_EQ(LastPosition(), std::make_pair(-160, 112));

    control->DirectPT(0);
    EXPECT_FALSE(window->HasPanTiltCursor());
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(ClickTest, ClicksOutsideTheViewAreIgnored) {
    StartCamera();
    MakeControl();
    ASSERT_TRUE(SourceAndPlay(true));
    ASSERT_TRUE(WaitFrames(1));
    control->DirectPT(1);
    Click(400, 300); // the view is 320 x 240
    EXPECT_FALSE(LastPosition());
    control->VideoZoom();
    Click(400, 300);
    EXPECT_FALSE(window->ZoomApplied());
}

} // namespace
} // namespace kestrova::viewer::testing

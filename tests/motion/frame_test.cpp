#include "control_fixture.h"
#include "motion/area_frame.h"

#include <QTest>

namespace kestrova::motion::testing {
namespace {

// Frames on a bare window, driven with the mouse as the user would.
class FrameTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        MakeControl();
        control->show();
    }
    CAreaFrame* Place(int index, int x1, int y1, int x2, int y2) {
        window->ShowFrame(index, 1, x1, y1, x2, y2);
        return window->Frame(index);
    }
    // Drags with the left button from `from` (frame coordinates) by `delta`; the pointer
    // travels in window coordinates while the frame moves under it.
    void Drag(CAreaFrame* frame, QPoint from, QPoint delta) {
        const QPoint start = frame->mapToParent(from);
        QTest::mousePress(frame, Qt::LeftButton, {}, from);
        QTest::mouseMove(frame, frame->mapFromParent(start + delta / 2));
        QTest::mouseMove(frame, frame->mapFromParent(start + delta));
        QTest::mouseRelease(frame, Qt::LeftButton, {}, frame->mapFromParent(start + delta));
    }
};

TEST_F(FrameTest, DragOffLeftEdgeSnapsBackKeepingWidth) {
    CAreaFrame* f = Place(1, 100, 100, 220, 200);
    Drag(f, {30, 5}, {-200, 20});
    EXPECT_EQ(f->geometry(), QRect(0, 120, 120, 100));
    Drag(f, {30, 5}, {500, 500});
    EXPECT_EQ(f->geometry(), QRect(280, 200, 120, 100)) << "pushed back from right and bottom";
}

TEST_F(FrameTest, ResizeStopsAtPictureEdgeAndMinimum) {
    CAreaFrame* f = Place(2, 100, 100, 200, 200);
    Drag(f, {98, 98}, {0, 400});
    EXPECT_EQ(f->geometry(), QRect(100, 100, 100, 200)) << "bottom stops at the picture's edge";
    Drag(f, {98, 198}, {-300, -300});
    EXPECT_EQ(f->size(), QSize(16, 16));
}

TEST_F(FrameTest, ShapeLeavesHoleOverPicture) {
    CAreaFrame* f = Place(3, 0, 0, 100, 80);
    const QRegion mask = f->mask();
    EXPECT_TRUE(mask.contains(QPoint(50, 5))) << "caption";
    EXPECT_TRUE(mask.contains(QPoint(0, 50))) << "left border";
    EXPECT_TRUE(mask.contains(QPoint(97, 50))) << "right strip";
    EXPECT_TRUE(mask.contains(QPoint(50, 77))) << "bottom strip";
    EXPECT_FALSE(mask.contains(QPoint(50, 40))) << "hole";
    f->SizeFrame(QRect(0, 0, 200, 150));
    EXPECT_FALSE(f->mask().contains(QPoint(150, 100))) << "the shape follows a resize";
    EXPECT_TRUE(f->mask().contains(QPoint(197, 100)));
}

TEST_F(FrameTest, FrameToCameraFromOuterRectangle) {
    Place(1, 0, 0, 100, 100);
    EXPECT_EQ(window->FrameToCamera(1), (Rect{0, 0, 160, 160}));
    Place(2, 300, 200, 400, 300);
    EXPECT_EQ(window->FrameToCamera(2), (Rect{480, 320, 639, 479}));
    EXPECT_FALSE(window->FrameToCamera(3));
    EXPECT_FALSE(window->FrameToCamera(9));
}

TEST_F(FrameTest, ShowFrameKeepsPositionAcrossHideAndTitleBeforeCreation) {
    control->SetMotionTitle(0, "Gate");
    control->MotionEnable(0, 1); // never read: placed from the stored (empty) rectangle
    CAreaFrame* f = window->Frame(1);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Title(), "Gate");
    EXPECT_EQ(f->size(), QSize(16, 16)) << "never smaller than 16 x 16";
    EXPECT_TRUE(window->TimerActive(0));
    EXPECT_EQ(window->TimerInterval(0), 1000);
    f->MoveFrame(QRect(50, 60, 16, 16));
    control->MotionEnable(0, 0);
    EXPECT_FALSE(f->isVisible());
    EXPECT_FALSE(window->TimerActive(0));
    control->MotionEnable(0, 1);
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(f->pos(), QPoint(50, 60)) << "shown again where the user left it";
    control->SetMotionTitle(0, "Door");
    EXPECT_EQ(f->Title(), "Door");
}

} // namespace
} // namespace kestrova::motion::testing

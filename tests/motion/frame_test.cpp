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

// Every edge and corner sizes the frame with the matching cursor, within the picture and the
// 16 x 16 minimum; the caption moves it. Each result is applied and read back from the camera.
TEST_F(FrameTest, EveryEdgeAndCornerSizesAndIsStored) {
    StartCamera();
    ASSERT_TRUE(
        control->SetSource(QString::fromStdString(Base()), "mpeg", 1, Auth("admin", "admin")));
    struct Case {
        const char* name;
        QPoint grip; // in the 100 x 80 frame placed at (100, 100)
        Qt::CursorShape cursor;
        QPoint delta;
        QRect shown; // the frame afterwards
        Rect stored; // what the camera stores after Apply
    };
    const Case cases[] = {
        {"left", {1, 40}, Qt::SizeHorCursor, {-20, 7}, {80, 100, 120, 80}, {128, 160, 320, 288}},
        {"left to minimum",
         {1, 40},
         Qt::SizeHorCursor,
         {200, 0},
         {184, 100, 16, 80},
         {294, 160, 320, 288}},
        {"left past picture",
         {1, 40},
         Qt::SizeHorCursor,
         {-300, 0},
         {0, 100, 200, 80},
         {0, 160, 320, 288}},
        {"top", {50, 1}, Qt::SizeVerCursor, {9, -30}, {100, 70, 100, 110}, {160, 112, 320, 288}},
        {"top past picture",
         {50, 1},
         Qt::SizeVerCursor,
         {0, -500},
         {100, 0, 100, 180},
         {160, 0, 320, 288}},
        {"top to minimum",
         {50, 1},
         Qt::SizeVerCursor,
         {0, 200},
         {100, 164, 100, 16},
         {160, 262, 320, 288}},
        {"right past picture",
         {98, 40},
         Qt::SizeHorCursor,
         {500, 0},
         {100, 100, 300, 80},
         {160, 160, 639, 288}},
        {"bottom to minimum",
         {50, 78},
         Qt::SizeVerCursor,
         {0, -100},
         {100, 100, 100, 16},
         {160, 160, 320, 185}},
        {"top-left",
         {1, 1},
         Qt::SizeFDiagCursor,
         {-30, -30},
         {70, 70, 130, 110},
         {112, 112, 320, 288}},
        {"top-right",
         {98, 1},
         Qt::SizeBDiagCursor,
         {30, -30},
         {100, 70, 130, 110},
         {160, 112, 368, 288}},
        {"bottom-left",
         {1, 78},
         Qt::SizeBDiagCursor,
         {-30, 30},
         {70, 100, 130, 110},
         {112, 160, 320, 336}},
        {"bottom-right past picture",
         {98, 78},
         Qt::SizeFDiagCursor,
         {400, 400},
         {100, 100, 300, 200},
         {160, 160, 639, 479}},
        {"bottom-right to minimum",
         {98, 78},
         Qt::SizeFDiagCursor,
         {-300, -300},
         {100, 100, 16, 16},
         {160, 160, 185, 185}},
        {"caption moves",
         {50, 8},
         Qt::ArrowCursor,
         {-200, 0},
         {0, 100, 100, 80},
         {0, 160, 160, 288}},
    };
    const sim::MotionArea area2 = StoredSetup().areas[1];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAreaFrame* f = window->Frame(1);
        ASSERT_NE(f, nullptr);
        f->Place(QRect(100, 100, 100, 80));
        f->raise(); // above the other quadrants' frames, which Apply raised
        QTest::mouseMove(f, c.grip);
        EXPECT_EQ(f->cursor().shape(), c.cursor);
        Drag(f, c.grip, c.delta);
        EXPECT_EQ(f->geometry(), c.shown);
        EXPECT_TRUE(f->Edited());
        control->MotionApply();
        const sim::MotionSetup stored = StoredSetup();
        const sim::MotionArea& a = stored.areas[0];
        EXPECT_EQ((Rect{a.x1, a.y1, a.x2, a.y2}), c.stored);
        EXPECT_EQ(
            (Rect{stored.areas[1].x1, stored.areas[1].y1, stored.areas[1].x2, stored.areas[1].y2}),
            (Rect{area2.x1, area2.y1, area2.x2, area2.y2}))
            << "an untouched area stays as stored";
        EXPECT_EQ(window->MessageText(), "Saved.");
    }
}

TEST_F(FrameTest, PlacedWhereStoredGrownOnlyToMinimum) {
    struct Case {
        QRect stored;
        QRect shown;
    };
    const Case cases[] = {
        {{63, 31, 6, 4}, {63, 31, 16, 16}},       // smaller than the minimum: grown from top-left
        {{390, 290, 10, 10}, {390, 290, 16, 16}}, // even where that passes the picture's edge
        {{20, 30, 0, -5}, {20, 30, 16, 16}},      // empty or inverted
        {{0, 0, 640, 480}, {0, 0, 400, 300}},     // larger than the picture: cut to its size
        {{0, 0, 399, 299}, {0, 0, 399, 299}},
    };
    for (const Case& c : cases) {
        CAreaFrame* f =
            Place(1, c.stored.left(), c.stored.top(), c.stored.left() + c.stored.width(),
                  c.stored.top() + c.stored.height());
        EXPECT_EQ(f->geometry(), c.shown) << c.stored.x() << "," << c.stored.y();
        EXPECT_FALSE(f->Edited());
        delete f;
    }
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

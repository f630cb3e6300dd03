#include "viewer/view_math.h"

#include <gtest/gtest.h>

namespace kestrova::viewer {
namespace {

TEST(ZoomWindowTest, ClampsToTheViewAndUsesAStrictRightEdgeTest) {
    // Left edge: the left half.
    EXPECT_EQ(ZoomWindow(0, 0, 640, 480), (Rect{0, 0, 320, 240}));
    EXPECT_EQ(ZoomWindow(159, 119, 640, 480), (Rect{0, 0, 320, 240}));
    // Centred window.
    EXPECT_EQ(ZoomWindow(320, 240, 640, 480), (Rect{160, 120, 480, 360}));
    // Exactly at vw - vw/4 the window still starts at x - q (x + q > vw is strict).
    EXPECT_EQ(ZoomWindow(480, 360, 640, 480), (Rect{320, 240, 640, 480}));
    // One further: the right half.
    EXPECT_EQ(ZoomWindow(481, 361, 640, 480), (Rect{320, 240, 640, 480}));
    EXPECT_EQ(ZoomWindow(640, 480, 640, 480), (Rect{320, 240, 640, 480}));
    // Odd extents: q and the half are truncated.
    EXPECT_EQ(ZoomWindow(100, 50, 321, 241), (Rect{20, 0, 180, 120}));
}

TEST(ZoomWindowTest, IgnoresClicksOutsideTheView) {
    EXPECT_FALSE(ZoomWindow(-1, 10, 640, 480));
    EXPECT_FALSE(ZoomWindow(10, -1, 640, 480));
    EXPECT_FALSE(ZoomWindow(641, 10, 640, 480));
    EXPECT_FALSE(ZoomWindow(10, 481, 640, 480));
}

TEST(ZoomOriginTest, EnlargedViewsDivideInFloatingPoint) {
    // 320 x 240 picture in a 640 x 480 view: ratio 2.0 on both axes.
    EXPECT_EQ(ZoomSourceOrigin(161, 121, 320, 240, 640, 480, 0), (Point{80, 60}));
    // 352 x 288 in 640 x 480: 1.818... and 1.666..., truncated.
    EXPECT_EQ(ZoomSourceOrigin(101, 101, 352, 288, 640, 480, 0), (Point{55, 60}));
    // Only the widths decide the branch: a narrower, taller view takes the integer path,
    // where H / vh is 0 for a view taller than the picture.
    EXPECT_EQ(ZoomSourceOrigin(80, 100, 640, 240, 320, 480, 0), (Point{160, 0}));
}

TEST(ZoomOriginTest, ReducedViewsUseIntegerRatios) {
    // 704 wide in a 320 view: 704 / 320 is 2, not 2.2.
    EXPECT_EQ(ZoomSourceOrigin(100, 60, 704, 480, 320, 240, 0), (Point{200, 120}));
    EXPECT_EQ(ZoomSourceOrigin(160, 120, 640, 480, 640, 480, 0), (Point{160, 120}));
}

TEST(ZoomOriginTest, UndoesTheViewOrientationAndClamps) {
    EXPECT_EQ(ZoomSourceOrigin(100, 60, 640, 480, 640, 480, 1), (Point{100, 180}));
    EXPECT_EQ(ZoomSourceOrigin(100, 60, 640, 480, 640, 480, 2), (Point{220, 60}));
    EXPECT_EQ(ZoomSourceOrigin(100, 60, 640, 480, 640, 480, 3), (Point{220, 180}));
    EXPECT_EQ(ZoomSourceOrigin(0, 0, 640, 480, 640, 480, 3), (Point{320, 240}));
    EXPECT_EQ(ZoomSourceOrigin(320, 240, 640, 480, 640, 480, 0), (Point{320, 240}));
    EXPECT_EQ(ZoomSourceOrigin(5, 5, 0, 480, 640, 480, 0), (Point{0, 0}));
}

TEST(ZoomOriginTest, DrawOriginMapsTheStoredRectangleIntoTheTransformedPicture) {
    EXPECT_EQ(ZoomDrawOrigin(100, 60, 320, 240, 0), (Point{100, 60}));
    EXPECT_EQ(ZoomDrawOrigin(100, 60, 320, 240, 1), (Point{100, 180}));
    EXPECT_EQ(ZoomDrawOrigin(100, 60, 320, 240, 2), (Point{220, 60}));
    EXPECT_EQ(ZoomDrawOrigin(100, 60, 320, 240, 3), (Point{220, 180}));
    // Zoom click then drawing round-trips for every mode: the click's region is drawn.
    for (int mode = 0; mode < 4; ++mode) {
        const Point s = ZoomSourceOrigin(100, 60, 640, 480, 640, 480, mode);
        EXPECT_EQ(ZoomDrawOrigin(s.x, s.y, 320, 240, mode), (Point{100, 60})) << mode;
    }
}

TEST(PanTiltTest, ExamplesOfTheCameraProtocol) {
    EXPECT_EQ(ClickPanTilt(320, 240, 640, 480, 640, 480, false, 0), (PanTilt{0, 0}));
    EXPECT_EQ(ClickPanTilt(0, 0, 640, 480, 640, 480, false, 0), (PanTilt{-320, 225}));
    EXPECT_EQ(ClickPanTilt(0, 0, 704, 480, 704, 480, false, 0), (PanTilt{-320, 225}));
    EXPECT_EQ(ClickPanTilt(640, 480, 640, 480, 640, 480, false, 0), (PanTilt{320, -225}));
}

TEST(PanTiltTest, ScalesHalvesAndOrientation) {
    // A 320 x 240 picture shown in 640 x 480: offsets count in picture pixels.
    EXPECT_EQ(ClickPanTilt(0, 0, 640, 480, 320, 240, false, 0), (PanTilt{-160, 112}));
    // With a zoom applied the offsets are halved before the tilt scale.
    EXPECT_EQ(ClickPanTilt(0, 0, 640, 480, 640, 480, true, 0), (PanTilt{-160, 112}));
    EXPECT_EQ(ClickPanTilt(0, 0, 640, 480, 640, 480, false, 1), (PanTilt{-320, -225}));
    EXPECT_EQ(ClickPanTilt(0, 0, 640, 480, 640, 480, false, 2), (PanTilt{320, 225}));
    EXPECT_EQ(ClickPanTilt(0, 0, 640, 480, 640, 480, false, 3), (PanTilt{320, -225}));
    // Truncation toward zero on both sides of the centre.
    EXPECT_EQ(ClickPanTilt(321, 239, 640, 480, 640, 480, false, 0), (PanTilt{1, 0}));
    EXPECT_EQ(ClickPanTilt(319, 238, 640, 480, 640, 480, false, 0), (PanTilt{-1, 1}));
    EXPECT_FALSE(ClickPanTilt(641, 0, 640, 480, 640, 480, false, 0));
    EXPECT_FALSE(ClickPanTilt(10, 10, 640, 480, 0, 0, false, 0));
}

TEST(PreviewCropTest, FollowsThePictureSizeTable) {
    EXPECT_EQ(PreviewCrop(704, 480, 100, 60, 352, 240), (Rect{45, 30, 205, 150}));
    EXPECT_EQ(PreviewCrop(640, 480, 101, 61, 320, 240), (Rect{50, 30, 210, 150}));
    EXPECT_EQ(PreviewCrop(320, 240, 10, 20, 160, 120), (Rect{10, 20, 170, 140}));
    EXPECT_EQ(PreviewCrop(176, 128, 10, 22, 88, 64), (Rect{20, 40, 196, 156}));
    EXPECT_EQ(PreviewCrop(160, 120, 10, 20, 80, 60), (Rect{20, 40, 180, 160}));
}

TEST(AudioLevelTest, MapsTheVolumeScaleToHundredthsOfADecibel) {
    EXPECT_EQ(AudioLevelFromVolume(0), -10000);
    EXPECT_EQ(AudioLevelFromVolume(-3), -10000);
    EXPECT_EQ(AudioLevelFromVolume(1), -1908);
    EXPECT_EQ(AudioLevelFromVolume(5), -510);
    EXPECT_EQ(AudioLevelFromVolume(9), 0);
    EXPECT_EQ(AudioLevelFromVolume(100), 0);
}

TEST(SnapshotNameTest, FolderSeparatorPrefixAndLocalTime) {
    EXPECT_EQ(DefaultSnapshotName("/home/u/Pictures", 2024, 1, 2, 3, 4, 5),
              "/home/u/Pictures/Orlo20240102-030405");
    EXPECT_EQ(DefaultSnapshotName("", 2026, 12, 31, 23, 59, 58), "/Orlo20261231-235958");
}

TEST(ViewMathTest, MirrorModeAndScaledExtent) {
    EXPECT_EQ(MirrorMode(false, false), 0);
    EXPECT_EQ(MirrorMode(true, false), 1);
    EXPECT_EQ(MirrorMode(false, true), 2);
    EXPECT_EQ(MirrorMode(true, true), 3);
    EXPECT_EQ(ScaledExtent(640, 100), 640);
    EXPECT_EQ(ScaledExtent(320, 150), 480);
    EXPECT_EQ(ScaledExtent(333, 50), 166);
}

} // namespace
} // namespace kestrova::viewer

#include "motion/area_geometry.h"

#include <gtest/gtest.h>

namespace kestrova::motion {
namespace {

// The picture in screen coordinates somewhere away from the origin.
const Rect kPicture{50, 80, 450, 380};

TEST(AreaGeometry, MovingFrameStaysOnPictureWithItsSize) {
    const Rect inside{100, 100, 200, 150};
    EXPECT_EQ(KeepMovingOnPicture(inside, kPicture), inside);
    // Off the left edge: snapped to the edge, width kept.
    EXPECT_EQ(KeepMovingOnPicture({30, 100, 130, 150}, kPicture), (Rect{50, 100, 150, 150}));
    // Off the top and the right at once.
    EXPECT_EQ(KeepMovingOnPicture({400, 60, 480, 100}, kPicture), (Rect{370, 80, 450, 120}));
    // Off the bottom.
    EXPECT_EQ(KeepMovingOnPicture({60, 350, 80, 400}, kPicture), (Rect{60, 330, 80, 380}));
}

TEST(AreaGeometry, ResizedFrameStopsAtEdges) {
    EXPECT_EQ(KeepSizingOnPicture({40, 70, 500, 400}, kPicture), kPicture);
    EXPECT_EQ(KeepSizingOnPicture({60, 90, 100, 420}, kPicture), (Rect{60, 90, 100, 380}));
}

TEST(AreaGeometry, FrameToCameraScalesAndClamps) {
    EXPECT_EQ(FrameToCamera({50, 80, 150, 180}, kPicture), (Rect{0, 0, 160, 160}));
    // A frame on the right and bottom edges gives 639 and 479, not 640 and 480.
    EXPECT_EQ(FrameToCamera({350, 280, 450, 380}, kPicture), (Rect{480, 320, 639, 479}));
    // Parts outside the picture are cut off before scaling.
    EXPECT_EQ(FrameToCamera({20, 60, 100, 100}, kPicture), (Rect{0, 0, 80, 32}));
    // Truncation: 3 x 1.6 = 4.8.
    EXPECT_EQ(FrameToCamera({53, 83, 103, 103}, kPicture), (Rect{4, 4, 84, 36}));
}

TEST(AreaGeometry, ViewRectRounding) {
    // A view frame from window x 100 to 400: 160 and 639, which rounds up to 640.
    const Rect camera = FrameToCamera({150, 80, 450, 380}, kPicture);
    EXPECT_EQ(RoundViewRect(camera), (Rect{160, 0, 640, 480}));
    // From window x 105: 168 rounds up to 176.
    EXPECT_EQ(RoundViewRect(FrameToCamera({155, 80, 450, 380}, kPicture)).left, 176);
}

} // namespace
} // namespace kestrova::motion

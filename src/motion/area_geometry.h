#pragma once

#include "motion/motion_model.h"

namespace kestrova::motion {

// The picture the frames lie on: 400 x 300 window pixels at the window's top-left corner.
inline constexpr int kPictureWidth = 400;
inline constexpr int kPictureHeight = 300;
inline constexpr int kMinFrameSize = 16;
inline constexpr int kCameraWidth = 640;
inline constexpr int kCameraHeight = 480;

// A moving frame keeps its size and is pushed back inside the picture.
Rect KeepMovingOnPicture(Rect proposed, const Rect& picture);
// A resized frame has each edge clamped to the picture.
Rect KeepSizingOnPicture(Rect proposed, const Rect& picture);

// The camera rectangle of a frame: its outer rectangle (caption and borders included)
// clipped to the picture, scaled by 1.6; x2 and y2 stop at 639 and 479.
Rect FrameToCamera(const Rect& frame, const Rect& picture);

// The view rectangle as the camera stores it (16 / 8 rounding of each edge).
Rect RoundViewRect(const Rect& camera);

} // namespace kestrova::motion

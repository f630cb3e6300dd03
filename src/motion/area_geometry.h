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

// The edges a sizing drag moves (a corner moves two).
enum class Edge : unsigned { None = 0, Left = 1, Top = 2, Right = 4, Bottom = 8 };
constexpr Edge operator|(Edge a, Edge b) {
    return static_cast<Edge>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr bool Has(Edge set, Edge e) {
    return (static_cast<unsigned>(set) & static_cast<unsigned>(e)) != 0;
}

// A frame sized by dragging `edges`: each moved edge is clamped to the picture, then to the
// tracking limits (16 x 16 to 400 x 300) while the opposite edges stay where they are.
Rect SizeOnPicture(Rect proposed, Edge edges, const Rect& picture);

// The camera rectangle of a frame: its outer rectangle (caption and borders included)
// clipped to the picture, scaled by 1.6; x2 and y2 stop at 639 and 479.
Rect FrameToCamera(const Rect& frame, const Rect& picture);

// The view rectangle as the camera stores it (16 / 8 rounding of each edge).
Rect RoundViewRect(const Rect& camera);

} // namespace kestrova::motion

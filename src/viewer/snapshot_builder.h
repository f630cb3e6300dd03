#pragma once

#include "codec/image/frame_image.h"

#include <cstdint>

namespace kestrova::viewer {

struct SnapshotZoom {
    bool on = false;
    int x = 0; // origin in the picture as drawn (after flip and mirror)
    int y = 0;
    int width = 0;
    int height = 0;
};

inline constexpr int kPreviewWidth = 320;
inline constexpr int kPreviewHeight = 240;

// Builds the full-size and the 320 x 240 preview images of a snapshot from the picture as
// drawn (top-down BGR rows `stride` bytes apart). With a zoom the full image is cropped to
// the zoom rectangle and enlarged back to width x height, the preview cropped by the
// preview table and resampled to 320 x 240. An image that cannot be made is left empty.
void BuildSnapshot(const uint8_t* topDown, int stride, int width, int height,
                   const SnapshotZoom& zoom, FrameImage& full, FrameImage& preview);

} // namespace kestrova::viewer

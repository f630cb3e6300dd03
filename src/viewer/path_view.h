#pragma once

#include "codec/image/frame_image.h"

#include <atomic>
#include <mutex>

namespace kestrova::viewer {

// The drawing state of one display path. The page's thread writes it, the display thread
// reads each value once per frame; every value is a single word, so a frame may mix old
// and new values but never sees a torn one.
struct PathView {
    std::atomic<int> viewWidth{0};
    std::atomic<int> viewHeight{0};
    std::atomic<int> width{0}; // the picture size last drawn
    std::atomic<int> height{0};
    std::atomic<int> percent{100};
    std::atomic<bool> zoomOn{false};
    std::atomic<int> zoomX{0}; // zoom rectangle in source pixels, unflipped orientation
    std::atomic<int> zoomY{0};
    std::atomic<int> zoomWidth{0};
    std::atomic<int> zoomHeight{0};
    std::atomic<int> mirrorMode{0};
    std::atomic<bool> snapshotRequest{false};

    // Built by the display thread while snapshotRequest is set, taken by the page's thread
    // after it saw the flag cleared.
    std::mutex snapshotMutex;
    FrameImage snapshotFull;
    FrameImage snapshotPreview;

    void DiscardSnapshot() {
        std::lock_guard lock(snapshotMutex);
        snapshotFull.Destroy();
        snapshotPreview.Destroy();
    }
};

} // namespace kestrova::viewer

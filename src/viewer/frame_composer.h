#pragma once

#include "stream/stream_window.h"
#include "viewer/path_view.h"

#include <QImage>
#include <QRect>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

class QPainter;

namespace kestrova::viewer {

// Turns each decoded picture (24-bit rows, or an MPEG-4 picture's planes) into what the window
// shows, on the display thread: the mirror mode, the snapshot capture, the zoom's source rectangle,
// scaling to the view size x percent / 100 and the green "2X" overlay, composed off screen. The
// finished surface is swapped to the front under a short lock and painted by the GUI thread. Both
// surfaces are reused from frame to frame and reallocated only when a size changes.
class FrameComposer {
public:
    // False when nothing could be drawn (empty picture or view, no memory).
    bool Compose(const stream::VideoPicture& picture, PathView& view);

    // GUI thread: paints the latest surface at (0, 0); answers the rectangle it covered
    // (empty before the first frame).
    QRect Paint(QPainter& painter) const;
    // A copy of the latest surface (null before the first frame).
    QImage Latest() const;
    void Clear();

    uint64_t FramesComposed() const { return composed_.load(); }

private:
    // One display path draws at a time; should a second play start on the other path
    // before the first stopped, its frames wait here rather than share the surfaces.
    std::mutex composeMutex_;
    std::vector<uint8_t> bgr_; // a planar picture's 24-bit form, made only when needed
    QImage picture_;           // the transformed picture, top-down
    QImage back_;              // the off-screen surface being composed
    mutable std::mutex frontMutex_;
    QImage front_;
    std::atomic<uint64_t> composed_{0};
};

} // namespace kestrova::viewer

#pragma once

#include "codec/yuv/yuv2rgb.h"
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
// An MPEG-4 picture shown at its own size, unzoomed, is kept as a copy of its planes instead
// (half the bytes of a surface), and the paint converts them straight into the window's
// backing store: the picture's pixels are written once, not composed and then copied.
class FrameComposer {
public:
    // False when nothing could be drawn (empty picture or view, no memory).
    bool Compose(const stream::VideoPicture& picture, PathView& view);

    // GUI thread: paints the latest picture at (0, 0); answers the rectangle it covered
    // (empty before the first frame).
    QRect Paint(QPainter& painter) const;
    // A copy of the latest surface (null before the first frame).
    QImage Latest() const;
    void Clear();

    uint64_t FramesComposed() const { return composed_.load(); }

private:
    // A picture's planes copied out of the decoder's store, lines packed, with how it lands.
    struct Planes {
        std::vector<uint8_t> bytes; // Y, then Cb, then Cr
        int width = 0;
        int height = 0;
        bool flip = false;
        bool mirror = false;
        void Copy(const stream::PlanarSource& source, int w, int h, bool flip, bool mirror);
        bool ConvertTo(const CYuvToRgb& converter, uint8_t* surface, std::ptrdiff_t stride) const;
    };
    // Converts the front planes straight into the painter's raster image where they land
    // whole, unclipped and unscaled; false when the painter's device does not allow that.
    bool PaintPlanesInPlace(QPainter& painter) const;
    QImage PlanesAsImage() const;

    // One display path draws at a time; should a second play start on the other path
    // before the first stopped, its frames wait here rather than share the surfaces.
    std::mutex composeMutex_;
    std::vector<uint8_t> bgr_; // a planar picture's 24-bit form, made only when needed
    QImage picture_;           // the transformed picture, top-down
    QImage back_;              // the off-screen surface being composed
    Planes backPlanes_;
    CYuvToRgb converter_; // the paint's own: a display path's goes when its play ends
    bool converterReady_ = false;
    mutable std::mutex frontMutex_;
    QImage front_;
    Planes frontPlanes_;
    bool frontIsPlanes_ = false;
    std::atomic<uint64_t> composed_{0};
};

} // namespace kestrova::viewer

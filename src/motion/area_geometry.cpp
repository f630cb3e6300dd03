#include "motion/area_geometry.h"

#include "motion/motion_protocol.h"

#include <algorithm>

namespace kestrova::motion {

Rect KeepMovingOnPicture(Rect r, const Rect& p) {
    if (r.left >= p.left && r.top >= p.top && r.right <= p.right && r.bottom <= p.bottom)
        return r;
    const int w = r.Width(), h = r.Height();
    if (r.left < p.left) {
        r.left = p.left;
        r.right = p.left + w;
    }
    if (r.top < p.top) {
        r.top = p.top;
        r.bottom = p.top + h;
    }
    if (r.right > p.right) {
        r.right = p.right;
        r.left = p.right - w;
    }
    if (r.bottom > p.bottom) {
        r.bottom = p.bottom;
        r.top = p.bottom - h;
    }
    return r;
}

Rect KeepSizingOnPicture(Rect r, const Rect& p) {
    r.left = std::max(r.left, p.left);
    r.top = std::max(r.top, p.top);
    r.right = std::min(r.right, p.right);
    r.bottom = std::min(r.bottom, p.bottom);
    return r;
}

Rect SizeOnPicture(Rect r, Edge edges, const Rect& p) {
    r = KeepSizingOnPicture(r, p);
    if (Has(edges, Edge::Left))
        r.left = std::clamp(r.left, r.right - kPictureWidth, r.right - kMinFrameSize);
    else
        r.right = std::clamp(r.right, r.left + kMinFrameSize, r.left + kPictureWidth);
    if (Has(edges, Edge::Top))
        r.top = std::clamp(r.top, r.bottom - kPictureHeight, r.bottom - kMinFrameSize);
    else
        r.bottom = std::clamp(r.bottom, r.top + kMinFrameSize, r.top + kPictureHeight);
    return r;
}

Rect FrameToCamera(const Rect& f, const Rect& p) {
    const int l = std::max(f.left, p.left), t = std::max(f.top, p.top);
    const int r = std::min(f.right, p.right), b = std::min(f.bottom, p.bottom);
    auto scale = [](int v) { return static_cast<int>(v * 1.6); };
    Rect c{scale(l - p.left), scale(t - p.top), scale(r - p.left), scale(b - p.top)};
    if (c.right >= kCameraWidth)
        c.right = kCameraWidth - 1;
    if (c.bottom >= kCameraHeight)
        c.bottom = kCameraHeight - 1;
    return c;
}

Rect RoundViewRect(const Rect& c) {
    return {RoundViewX(c.left), RoundViewY(c.top), RoundViewX(c.right), RoundViewY(c.bottom)};
}

} // namespace kestrova::motion

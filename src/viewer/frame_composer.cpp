#include "viewer/frame_composer.h"

#include "codec/yuv/yuv2rgb.h"
#include "codec/yuv/yuv_convert.h"
#include "viewer/picture_transform.h"
#include "viewer/snapshot_builder.h"
#include "viewer/view_math.h"

#include <QPainter>

namespace kestrova::viewer {

namespace {

constexpr QRgb kOverlayGreen = 0xFF00FF00;

// Reallocates `image` only when its size or format differs.
bool Ensure(QImage& image, int width, int height, QImage::Format format) {
    if (image.width() != width || image.height() != height || image.format() != format)
        image = QImage(width, height, format);
    return !image.isNull();
}

// Planes the converter takes, or 24-bit rows that hold the whole picture.
bool Drawable(const stream::VideoPicture& picture) {
    const int w = picture.width;
    const int h = picture.height;
    if (const stream::PlanarSource* planes = picture.planar)
        return planes->converter && yuv::isConvertibleSize(w, h) && w <= yuv::kMaxSurfaceWidth;
    return w > 0 && h > 0 && picture.stride >= w * 3 &&
           picture.bgr.size() >=
               static_cast<std::size_t>(picture.stride) * (h - 1) + static_cast<std::size_t>(w) * 3;
}

} // namespace

bool FrameComposer::Compose(const stream::VideoPicture& picture, PathView& view) {
    std::lock_guard compose(composeMutex_);
    const int w = picture.width;
    const int h = picture.height;
    const stream::PlanarSource* planes = picture.planar;
    if (!Drawable(picture))
        return false;

    view.width.store(w);
    view.height.store(h);
    int expected = 0;
    view.viewWidth.compare_exchange_strong(expected, w);
    expected = 0;
    view.viewHeight.compare_exchange_strong(expected, h);

    const int mode = view.mirrorMode.load();
    SnapshotZoom zoom;
    zoom.on = view.zoomOn.load();
    if (zoom.on) {
        zoom.width = view.zoomWidth.load();
        zoom.height = view.zoomHeight.load();
        const Point o =
            ZoomDrawOrigin(view.zoomX.load(), view.zoomY.load(), zoom.width, zoom.height, mode);
        zoom.x = o.x;
        zoom.y = o.y;
    }

    const int percent = view.percent.load();
    const int dw = ScaledExtent(view.viewWidth.load(), percent);
    const int dh = ScaledExtent(view.viewHeight.load(), percent);
    if (dw <= 0 || dh <= 0 || !Ensure(back_, dw, dh, QImage::Format_RGB32))
        return false;
    // A picture shown at its own size, unzoomed, goes to the surface in one pass; the
    // top-down 24-bit copy is made only when a snapshot, the zoom or scaling needs it.
    const bool direct = !zoom.on && dw == w && dh == h;
    const bool snapshot = view.snapshotRequest.load();
    if (!direct || snapshot) {
        const uint8_t* bgr = picture.bgr.data();
        int stride = picture.stride;
        if (planes) {
            bgr_.resize(static_cast<std::size_t>(w) * h * 3);
            if (!planes->converter->Convert(planes->y, planes->cb, planes->cr, planes->lumaStride,
                                            planes->chromaStride, bgr_.data(), w, h))
                return false;
            bgr = bgr_.data();
            stride = w * 3;
        }
        if (!Ensure(picture_, w, h, QImage::Format_BGR888))
            return false;
        TransformToTopDown(bgr, stride, w, h, mode, picture_.bits(),
                           static_cast<int>(picture_.bytesPerLine()));
    }

    if (snapshot) {
        {
            std::lock_guard lock(view.snapshotMutex);
            BuildSnapshot(picture_.constBits(), static_cast<int>(picture_.bytesPerLine()), w, h,
                          zoom, view.snapshotFull, view.snapshotPreview);
        }
        view.snapshotRequest.store(false);
    }

    if (direct && planes) {
        // Straight from the decoder's planes: no 24-bit picture in between.
        if (!planes->converter->ConvertToSurface(
                planes->y, planes->cb, planes->cr, planes->lumaStride, planes->chromaStride,
                back_.bits(), back_.bytesPerLine(), w, h, (mode & 1) != 0, (mode & 2) != 0))
            return false;
    } else if (direct) {
        TransformToTopDownXrgb(picture.bgr.data(), picture.stride, w, h, mode, back_.bits(),
                               static_cast<int>(back_.bytesPerLine()));
    } else {
        QPainter p(&back_);
        const QRect target(0, 0, dw, dh);
        if (zoom.on && zoom.width > 0 && zoom.height > 0) {
            p.drawImage(target, picture_, QRect(zoom.x, zoom.y, zoom.width, zoom.height));
            p.setPen(QColor::fromRgb(kOverlayGreen));
            p.setClipRect(QRect(QPoint(10, 10), QPoint(99, 49)));
            p.drawText(QRect(QPoint(10, 10), QPoint(99, 49)), Qt::AlignLeft | Qt::AlignTop,
                       QStringLiteral("2X"));
        } else {
            p.drawImage(target, picture_);
        }
    }
    {
        std::lock_guard lock(frontMutex_);
        std::swap(back_, front_);
    }
    composed_.fetch_add(1);
    return true;
}

QRect FrameComposer::Paint(QPainter& painter) const {
    std::lock_guard lock(frontMutex_);
    if (front_.isNull())
        return {};
    painter.drawImage(0, 0, front_);
    return front_.rect();
}

QImage FrameComposer::Latest() const {
    std::lock_guard lock(frontMutex_);
    return front_.copy();
}

void FrameComposer::Clear() {
    std::lock_guard lock(frontMutex_);
    front_ = QImage();
}

} // namespace kestrova::viewer

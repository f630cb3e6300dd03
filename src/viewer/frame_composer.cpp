#include "viewer/frame_composer.h"

#include "codec/yuv/yuv2rgb.h"
#include "codec/yuv/yuv_convert.h"
#include "viewer/picture_transform.h"
#include "viewer/snapshot_builder.h"
#include "viewer/view_math.h"

#include <QPaintEngine>
#include <QPainter>
#include <cstring>

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
    // A picture shown at its own size, unzoomed, needs no 24-bit copy: its planes are kept for
    // the paint, or its rows go to the surface in one pass. The top-down 24-bit copy is made
    // only when a snapshot, the zoom or scaling needs it.
    const bool direct = !zoom.on && dw == w && dh == h;
    const bool keepPlanes = direct && planes;
    if (dw <= 0 || dh <= 0 || (!keepPlanes && !Ensure(back_, dw, dh, QImage::Format_RGB32)))
        return false;
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

    if (keepPlanes) {
        // Kept as planes for the paint to convert: no surface in between.
        if (!converterReady_)
            converterReady_ = converter_.Initialise() != 0;
        if (!converterReady_)
            return false;
        backPlanes_.Copy(*planes, w, h, (mode & 1) != 0, (mode & 2) != 0);
        {
            std::lock_guard lock(frontMutex_);
            std::swap(backPlanes_, frontPlanes_);
            frontIsPlanes_ = true;
        }
        composed_.fetch_add(1);
        return true;
    }
    if (direct) {
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
        frontIsPlanes_ = false;
    }
    composed_.fetch_add(1);
    return true;
}

void FrameComposer::Planes::Copy(const stream::PlanarSource& source, int w, int h, bool flipRows,
                                 bool mirrorRows) {
    const std::size_t luma = static_cast<std::size_t>(w) * h;
    const int cw = w / 2;
    const int ch = h / 2;
    bytes.resize(luma + 2 * static_cast<std::size_t>(cw) * ch);
    uint8_t* out = bytes.data();
    for (int row = 0; row < h; ++row, out += w)
        std::memcpy(out, source.y + row * source.lumaStride, static_cast<std::size_t>(w));
    for (const uint8_t* plane : {source.cb, source.cr})
        for (int row = 0; row < ch; ++row, out += cw)
            std::memcpy(out, plane + row * source.chromaStride, static_cast<std::size_t>(cw));
    width = w;
    height = h;
    flip = flipRows;
    mirror = mirrorRows;
}

bool FrameComposer::Planes::ConvertTo(const CYuvToRgb& converter, uint8_t* surface,
                                      std::ptrdiff_t stride) const {
    const std::size_t luma = static_cast<std::size_t>(width) * height;
    const std::size_t chroma = luma / 4;
    return converter.ConvertToSurface(bytes.data(), bytes.data() + luma,
                                      bytes.data() + luma + chroma, width, width / 2, surface,
                                      stride, width, height, flip, mirror) != 0;
}

bool FrameComposer::PaintPlanesInPlace(QPainter& painter) const {
    QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || painter.hasClipping() ||
        painter.opacity() != 1.0)
        return false;
    QPaintDevice* device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return false;
    auto* image = static_cast<QImage*>(device);
    // 0xFFRRGGBB is the same opaque pixel in each of these formats.
    const QImage::Format format = image->format();
    if ((format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
         format != QImage::Format_ARGB32_Premultiplied) ||
        image->devicePixelRatio() != 1.0 || !image->isDetached())
        return false;
    // Where (0, 0) lands on the image: a whole-pixel move only (a widget's place in its window).
    const QTransform& t = painter.deviceTransform();
    const QPoint at(qRound(t.dx()), qRound(t.dy()));
    if (t.type() > QTransform::TxTranslate || t.dx() != at.x() || t.dy() != at.y())
        return false;
    const QRect target(at, QSize(frontPlanes_.width, frontPlanes_.height));
    // Only where every pixel may be painted: not past the image, nor over what the paint
    // must leave alone (an overlapping sibling, a part outside the region being repainted).
    const QRegion clip = engine->systemClip();
    if (!image->rect().contains(target) ||
        (!clip.isEmpty() && !QRegion(target).subtracted(clip).isEmpty()))
        return false;
    const std::ptrdiff_t stride = image->bytesPerLine();
    return frontPlanes_.ConvertTo(
        converter_, image->bits() + at.y() * stride + std::ptrdiff_t{at.x()} * 4, stride);
}

QImage FrameComposer::PlanesAsImage() const {
    QImage image(frontPlanes_.width, frontPlanes_.height, QImage::Format_RGB32);
    if (image.isNull() || !frontPlanes_.ConvertTo(converter_, image.bits(), image.bytesPerLine()))
        return {};
    return image;
}

QRect FrameComposer::Paint(QPainter& painter) const {
    std::lock_guard lock(frontMutex_);
    if (frontIsPlanes_) {
        if (!PaintPlanesInPlace(painter))
            painter.drawImage(0, 0, PlanesAsImage());
        return QRect(0, 0, frontPlanes_.width, frontPlanes_.height);
    }
    if (front_.isNull())
        return {};
    painter.drawImage(0, 0, front_);
    return front_.rect();
}

QImage FrameComposer::Latest() const {
    std::lock_guard lock(frontMutex_);
    return frontIsPlanes_ ? PlanesAsImage() : front_.copy();
}

void FrameComposer::Clear() {
    std::lock_guard lock(frontMutex_);
    front_ = QImage();
    frontPlanes_ = Planes{};
    frontIsPlanes_ = false;
}

} // namespace kestrova::viewer

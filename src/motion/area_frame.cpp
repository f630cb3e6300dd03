#include "motion/area_frame.h"

#include "motion/area_geometry.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>

namespace kestrova::motion {

namespace {
Rect ToRect(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}
QRect ToQRect(const Rect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}
} // namespace

CAreaFrame::CAreaFrame(const QString& title, const QRect& picture, QWidget* parent)
    : QWidget(parent), title_(title), picture_(picture) {
    setMinimumSize(kMinFrameSize, kMinFrameSize);
    setMaximumSize(kPictureWidth, kPictureHeight);
    setMouseTracking(true);
    ApplyShape();
}

void CAreaFrame::SetTitle(const QString& title) {
    title_ = title;
    update();
}

QRect CAreaFrame::StaticRect() const {
    return QRect(kBorder, kBorder + kCaptionHeight, std::max(0, width() - kBorder),
                 std::max(0, height() - kBorder - kCaptionHeight));
}

Rect CAreaFrame::OuterRect() const {
    return ToRect(geometry());
}

void CAreaFrame::MoveFrame(const QRect& proposed) {
    setGeometry(ToQRect(KeepMovingOnPicture(ToRect(proposed), ToRect(picture_))));
}

void CAreaFrame::SizeFrame(const QRect& proposed) {
    Rect r = KeepSizingOnPicture(ToRect(proposed), ToRect(picture_));
    // Tracking limits of the frame window.
    r.right = std::clamp(r.right, r.left + kMinFrameSize, r.left + kPictureWidth);
    r.bottom = std::clamp(r.bottom, r.top + kMinFrameSize, r.top + kPictureHeight);
    setGeometry(ToQRect(r));
}

void CAreaFrame::ApplyShape() {
    const int w = width(), h = height();
    const QRect hole = StaticRect();
    QRegion region(0, 0, w, h);
    // The hole spans from the static's corner to 4 pixels short of the right and bottom.
    const QRect cut(hole.left(), hole.top(), w - kStrip - hole.left(), h - kStrip - hole.top());
    if (cut.isValid())
        region -= QRegion(cut);
    setMask(region);
}

void CAreaFrame::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ApplyShape();
}

void CAreaFrame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0, 0, 128));
    QRect caption(kBorder, kBorder, width() - 2 * kBorder, kCaptionHeight);
    QFont f = font();
    f.setPixelSize(kCaptionHeight - 2);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(caption.adjusted(2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, title_);
    // Black frame of the static control around the hole.
    p.setPen(Qt::black);
    p.drawRect(StaticRect().adjusted(0, 0, -1, -1));
}

void CAreaFrame::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const QPoint pos = event->position().toPoint();
    pressParent_ = mapToParent(pos);
    pressGeometry_ = geometry();
    const bool onEdge = pos.x() >= width() - kGrip || pos.y() >= height() - kGrip;
    drag_ = onEdge ? Drag::Size : Drag::Move;
    raise();
}

void CAreaFrame::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (drag_ == Drag::None) {
        const bool right = pos.x() >= width() - kGrip, bottom = pos.y() >= height() - kGrip;
        setCursor(right && bottom ? Qt::SizeFDiagCursor
                  : right         ? Qt::SizeHorCursor
                  : bottom        ? Qt::SizeVerCursor
                                  : Qt::ArrowCursor);
        return;
    }
    const QPoint delta = mapToParent(pos) - pressParent_;
    if (drag_ == Drag::Move) {
        MoveFrame(pressGeometry_.translated(delta));
    } else {
        const bool right = pressParent_.x() >= pressGeometry_.right() + 1 - kGrip;
        const bool bottom = pressParent_.y() >= pressGeometry_.bottom() + 1 - kGrip;
        QRect r = pressGeometry_;
        if (right)
            r.setWidth(r.width() + delta.x());
        if (bottom)
            r.setHeight(r.height() + delta.y());
        SizeFrame(r);
    }
}

void CAreaFrame::mouseReleaseEvent(QMouseEvent* event) {
    if (drag_ != Drag::None && event->button() == Qt::LeftButton) {
        mouseMoveEvent(event);
        drag_ = Drag::None;
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

} // namespace kestrova::motion

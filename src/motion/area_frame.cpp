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

void CAreaFrame::Place(const QRect& stored) {
    setGeometry(stored.x(), stored.y(), std::clamp(stored.width(), kMinFrameSize, kPictureWidth),
                std::clamp(stored.height(), kMinFrameSize, kPictureHeight));
    placed_ = geometry();
}

void CAreaFrame::MoveFrame(const QRect& proposed) {
    setGeometry(ToQRect(KeepMovingOnPicture(ToRect(proposed), ToRect(picture_))));
}

void CAreaFrame::SizeFrame(const QRect& proposed, Edge edges) {
    setGeometry(ToQRect(SizeOnPicture(ToRect(proposed), edges, ToRect(picture_))));
}

Edge CAreaFrame::EdgesAt(QPoint pos) const {
    Edge e = Edge::None;
    if (pos.x() < kGrip)
        e = e | Edge::Left;
    else if (pos.x() >= width() - kGrip)
        e = e | Edge::Right;
    if (pos.y() < kTopGrip)
        e = e | Edge::Top;
    else if (pos.y() >= height() - kGrip)
        e = e | Edge::Bottom;
    return e;
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

namespace {
Qt::CursorShape SizingCursor(Edge e) {
    const bool horizontal = Has(e, Edge::Left) || Has(e, Edge::Right);
    const bool vertical = Has(e, Edge::Top) || Has(e, Edge::Bottom);
    if (horizontal && vertical) {
        const bool falling = Has(e, Edge::Left) == Has(e, Edge::Top); // top-left / bottom-right
        return falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
    }
    return horizontal ? Qt::SizeHorCursor : vertical ? Qt::SizeVerCursor : Qt::ArrowCursor;
}
} // namespace

void CAreaFrame::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const QPoint pos = event->position().toPoint();
    pressParent_ = mapToParent(pos);
    pressGeometry_ = geometry();
    sizing_ = EdgesAt(pos);
    drag_ = sizing_ == Edge::None ? Drag::Move : Drag::Size;
    raise();
}

void CAreaFrame::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (drag_ == Drag::None) {
        setCursor(SizingCursor(EdgesAt(pos)));
        return;
    }
    const QPoint delta = mapToParent(pos) - pressParent_;
    if (drag_ == Drag::Move) {
        MoveFrame(pressGeometry_.translated(delta));
        return;
    }
    Rect r = ToRect(pressGeometry_);
    if (Has(sizing_, Edge::Left))
        r.left += delta.x();
    if (Has(sizing_, Edge::Right))
        r.right += delta.x();
    if (Has(sizing_, Edge::Top))
        r.top += delta.y();
    if (Has(sizing_, Edge::Bottom))
        r.bottom += delta.y();
    SizeFrame(ToQRect(r), sizing_);
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

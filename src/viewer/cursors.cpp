#include "viewer/cursors.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kestrova::viewer {

namespace {

constexpr int kSize = 32;

QPixmap Canvas() {
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    return pm;
}

} // namespace

QCursor MakeZoomCursor() {
    QPixmap pm = Canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(19, 19, 29, 29);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(QColor(200, 230, 255));
    p.drawEllipse(QPointF(12, 12), 9, 9);
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(12, 12), 10, 10);
    QFont f = p.font();
    f.setPixelSize(11);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(3, 3, 18, 18), Qt::AlignCenter, QStringLiteral("2X"));
    p.end();
    return QCursor(pm, 12, 12);
}

QCursor MakePanTiltCursor() {
    QPixmap pm = Canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrows;
    const qreal c = kSize / 2.0;
    // Four arrow heads on a cross.
    const qreal tips[4][6] = {
        {c, 1, c - 6, 8, c + 6, 8},
        {c, kSize - 1.0, c - 6, kSize - 8.0, c + 6, kSize - 8.0},
        {1, c, 8, c - 6, 8, c + 6},
        {kSize - 1.0, c, kSize - 8.0, c - 6, kSize - 8.0, c + 6},
    };
    for (const auto& t : tips) {
        arrows.moveTo(t[0], t[1]);
        arrows.lineTo(t[2], t[3]);
        arrows.lineTo(t[4], t[5]);
        arrows.closeSubpath();
    }
    arrows.addRect(c - 1.5, 7, 3, kSize - 14);
    arrows.addRect(7, c - 1.5, kSize - 14, 3);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Qt::black);
    p.drawPath(arrows.simplified());
    p.end();
    return QCursor(pm, kSize / 2, kSize / 2);
}

} // namespace kestrova::viewer

#pragma once

#include "motion/motion_model.h"

#include <QPoint>
#include <QRect>
#include <QWidget>

namespace kestrova::motion {

// A frame over the picture that the user drags by its small caption bar and sizes by its
// right and bottom border. Only the caption, the left and top borders and a 4-pixel strip
// on the right and bottom stay opaque: the picture shows through the hole cut by the mask.
// Its geometry is in the parent's coordinates, where the picture lies at (0, 0).
class CAreaFrame : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCaptionHeight = 12;
    static constexpr int kBorder = 2; // left and top border
    static constexpr int kStrip = 4;  // right and bottom strip left by the hole
    static constexpr int kGrip = 6;   // how far inside the edge a press starts a resize
    static constexpr int kStaticId = 241;

    // `picture`: the picture rectangle in parent coordinates.
    CAreaFrame(const QString& title, const QRect& picture, QWidget* parent);

    void SetTitle(const QString& title);
    QString Title() const { return title_; }
    // The rectangle of the static control 241 (the client area) within the frame.
    QRect StaticRect() const;

    // Moves / sizes as the user would, through the rules that keep the frame on the picture.
    void MoveFrame(const QRect& proposed);
    void SizeFrame(const QRect& proposed);

    // The outer rectangle, parent coordinates.
    Rect OuterRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum class Drag { None, Move, Size };
    void ApplyShape();

    QString title_;
    QRect picture_;
    Drag drag_ = Drag::None;
    QPoint pressParent_;
    QRect pressGeometry_;
};

} // namespace kestrova::motion

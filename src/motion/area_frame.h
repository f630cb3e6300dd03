#pragma once

#include "motion/area_geometry.h"
#include "motion/motion_model.h"

#include <QPoint>
#include <QRect>
#include <QWidget>

namespace kestrova::motion {

// A frame over the picture that the user drags by its small caption bar and sizes by any
// edge or corner. Only the caption, the left and top borders and a 4-pixel strip
// on the right and bottom stay opaque: the picture shows through the hole cut by the mask.
// Its geometry is in the parent's coordinates, where the picture lies at (0, 0).
class CAreaFrame : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCaptionHeight = 12;
    static constexpr int kBorder = 2; // left and top border
    static constexpr int kStrip = 4;  // right and bottom strip left by the hole
    static constexpr int kGrip = 6;   // how far inside the left, right or bottom edge a press sizes
    static constexpr int kTopGrip = 4; // the top edge's grip, above the caption's text
    static constexpr int kStaticId = 241;

    // `picture`: the picture rectangle in parent coordinates.
    CAreaFrame(const QString& title, const QRect& picture, QWidget* parent);

    void SetTitle(const QString& title);
    QString Title() const { return title_; }
    // The rectangle of the static control 241 (the client area) within the frame.
    QRect StaticRect() const;

    // Places the frame from stored values: at (x, y), the size grown to the 16 x 16 minimum
    // (or cut to the picture's size) from the top-left corner, never moved. The placed
    // rectangle counts as unedited.
    void Place(const QRect& stored);
    // True when the user moved or sized the frame away from where it was placed.
    bool Edited() const { return geometry() != placed_; }

    // Moves / sizes as the user would, through the rules that keep the frame on the picture.
    void MoveFrame(const QRect& proposed);
    void SizeFrame(const QRect& proposed, Edge edges = Edge::Right | Edge::Bottom);

    // The edges a press at `pos` (frame coordinates) would size; Edge::None moves the frame.
    Edge EdgesAt(QPoint pos) const;

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
    QRect placed_;
    Drag drag_ = Drag::None;
    Edge sizing_ = Edge::None;
    QPoint pressParent_;
    QRect pressGeometry_;
};

} // namespace kestrova::motion

#pragma once

#include <QRect>
#include <QWidget>
#include <functional>

class QLabel;

namespace kestrova::app {

// The black area the control sits in. It keeps the control's window at the largest size
// with the picture's shape that fits, centred (black bars, never white), tells the
// control that size as its view size, and lays a message over the picture when the
// camera is not playing.
class PictureStage : public QWidget {
    Q_OBJECT
public:
    // `control` becomes a child of the stage. `setViewSize` passes the fitted size on to
    // the control (its SetViewSize method).
    PictureStage(QWidget* control, std::function<void(int, int)> setViewSize,
                 QWidget* parent = nullptr);

    // The picture's size as the stream announces it (0: not known yet, 4:3 assumed).
    void SetPictureSize(int width, int height);
    // A message over the picture area; empty text shows the picture alone. `hidePicture`
    // also hides the last picture (after Stop, or before the first picture).
    void SetMessage(const QString& text, bool hidePicture);
    QString Message() const;
    bool PictureShown() const;

    // The rectangle the picture takes in a stage of `area`, keeping `width`:`height`.
    static QRect FitRect(QSize area, int width, int height);
    QRect PictureRect() const;
    // Hands the fitted size to the control again (after it started a new play).
    void Refit();

signals:
    void doubleClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void Layout();

    QWidget* control_;
    QWidget* window_; // the control's picture window inside it (the control itself if none)
    std::function<void(int, int)> setViewSize_;
    QLabel* overlay_;
    int width_ = 0, height_ = 0;
    QSize lastView_;
};

} // namespace kestrova::app

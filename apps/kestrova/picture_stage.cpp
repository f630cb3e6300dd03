#include "picture_stage.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPalette>

namespace kestrova::app {

PictureStage::PictureStage(QWidget* control, std::function<void(int, int)> setViewSize,
                           QWidget* parent)
    : QWidget(parent), control_(control), setViewSize_(std::move(setViewSize)) {
    setObjectName(QStringLiteral("PictureStage"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setMinimumSize(160, 120);
    control_->setParent(this);
    // The control keeps its picture window at a fixed size inside itself; the stage
    // resizes that window with the control so the picture can grow past it.
    window_ = control_->findChild<QWidget*>(QStringLiteral("VideoWindow"));
    if (!window_)
        window_ = control_;
    overlay_ = new QLabel(this);
    overlay_->setObjectName(QStringLiteral("StageMessage"));
    overlay_->setAlignment(Qt::AlignCenter);
    overlay_->setWordWrap(true);
    overlay_->setAttribute(Qt::WA_TransparentForMouseEvents);
    overlay_->setStyleSheet(QStringLiteral("QLabel { color: white; background: rgba(0, 0, 0, 170); "
                                           "font-size: 16px; padding: 12px; }"));
    overlay_->hide();
    Layout();
}

QRect PictureStage::FitRect(QSize area, int width, int height) {
    if (width <= 0 || height <= 0) {
        width = 4;
        height = 3;
    }
    if (area.width() <= 0 || area.height() <= 0)
        return {};
    int w = area.width();
    int h = static_cast<int>(static_cast<int64_t>(w) * height / width);
    if (h > area.height()) {
        h = area.height();
        w = static_cast<int>(static_cast<int64_t>(h) * width / height);
    }
    return {(area.width() - w) / 2, (area.height() - h) / 2, std::max(w, 1), std::max(h, 1)};
}

QRect PictureStage::PictureRect() const {
    return control_->geometry();
}

void PictureStage::SetPictureSize(int width, int height) {
    if (width == width_ && height == height_)
        return;
    width_ = width;
    height_ = height;
    Layout();
}

void PictureStage::SetMessage(const QString& text, bool hidePicture) {
    control_->setVisible(!hidePicture);
    overlay_->setText(text);
    overlay_->setVisible(!text.isEmpty());
    overlay_->raise();
}

QString PictureStage::Message() const {
    return overlay_->isVisible() ? overlay_->text() : QString();
}

bool PictureStage::PictureShown() const {
    return control_->isVisible();
}

void PictureStage::Refit() {
    lastView_ = {};
    Layout();
}

void PictureStage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Layout();
}

void PictureStage::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

void PictureStage::Layout() {
    const QRect r = FitRect(size(), width_, height_);
    if (r.isEmpty())
        return;
    control_->setGeometry(r);
    if (window_ != control_)
        window_->setGeometry(0, 0, r.width(), r.height());
    overlay_->setGeometry(rect());
    if (r.size() != lastView_ && width_ > 0) {
        lastView_ = r.size();
        if (setViewSize_)
            setViewSize_(r.width(), r.height());
    }
}

} // namespace kestrova::app

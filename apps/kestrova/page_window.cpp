#include "page_window.h"

#include "viewer/player_control.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace kestrova::app {

PageWindow::PageWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Kestrova"));
    control_ = new viewer::COrloPlayerSetaCtrl(this);
    control_->setFixedSize(640, 480);
    auto* buttons = new QVBoxLayout;
    auto add = [&](const char* text, auto slot) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    viewer::COrloPlayerSetaCtrl* c = control_;
    add("Play", [c] { c->StartPlay(0, QString()); });
    add("Stop", [c] { c->StopPlay(); });
    add("Snapshot", [c] { c->SnapShot(); });
    add("Zoom 2X", [c] { c->VideoZoom(); });
    add("Flip", [c] { c->VideoFlip(); });
    add("Mirror", [c] { c->VideoMirror(); });
    add("Restore", [c] { c->RestoreVideo(); });
    QPushButton* pt = add("Pan/tilt by click", [] {});
    pt->setCheckable(true);
    connect(pt, &QPushButton::toggled, this, [c](bool on) { c->DirectPT(on ? 1 : 0); });
    add("Sound on", [c] { c->SetPlayAudio(); });
    add("Sound off", [c] { c->StopPlayAudio(); });
    buttons->addWidget(new QLabel(QStringLiteral("Volume"), this));
    auto* volume = new QSlider(Qt::Horizontal, this);
    volume->setRange(0, 9);
    volume->setValue(9);
    connect(volume, &QSlider::valueChanged, this, [c](int v) { c->AudioVolume(v); });
    buttons->addWidget(volume);
    buttons->addWidget(new QLabel(QStringLiteral("View size"), this));
    auto* size = new QComboBox(this);
    size->addItems(
        {QStringLiteral("320x240"), QStringLiteral("640x480"), QStringLiteral("160x120")});
    connect(size, &QComboBox::currentTextChanged, this, [c](const QString& text) {
        const QStringList wh = text.split('x');
        c->SetViewSize(wh[0].toInt(), wh[1].toInt());
    });
    buttons->addWidget(size);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(control_, 0, Qt::AlignTop);
    layout->addLayout(buttons);
}

} // namespace kestrova::app

#include "page_window.h"

#include "hosting/hosted_control.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace kestrova::app {

PageWindow::PageWindow(hosting::HostedControl& control, QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Kestrova"));
    QWidget* widget = control.Widget();
    widget->setParent(this);
    widget->setFixedSize(640, 480);
    auto* buttons = new QVBoxLayout;
    auto add = [&](const char* text, auto slot) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    hosting::HostedControl* c = &control;
    add("Play", [c] { c->Call("StartPlay", {0, QString()}); });
    add("Stop", [c] { c->Call("StopPlay"); });
    add("Snapshot", [c] { c->Call("SnapShot"); });
    add("Zoom 2X", [c] { c->Call("VideoZoom"); });
    add("Flip", [c] { c->Call("VideoFlip"); });
    add("Mirror", [c] { c->Call("VideoMirror"); });
    add("Restore", [c] { c->Call("RestoreVideo"); });
    QPushButton* pt = add("Pan/tilt by click", [] {});
    pt->setCheckable(true);
    connect(pt, &QPushButton::toggled, this, [c](bool on) { c->Call("DirectPT", {on ? 1 : 0}); });
    add("Sound on", [c] { c->Call("SetPlayAudio"); });
    add("Sound off", [c] { c->Call("StopPlayAudio"); });
    buttons->addWidget(new QLabel(QStringLiteral("Volume"), this));
    auto* volume = new QSlider(Qt::Horizontal, this);
    volume->setRange(0, 9);
    volume->setValue(9);
    connect(volume, &QSlider::valueChanged, this, [c](int v) { c->Call("AudioVolume", {v}); });
    buttons->addWidget(volume);
    buttons->addWidget(new QLabel(QStringLiteral("View size"), this));
    auto* size = new QComboBox(this);
    size->addItems(
        {QStringLiteral("320x240"), QStringLiteral("640x480"), QStringLiteral("160x120")});
    connect(size, &QComboBox::currentTextChanged, this, [c](const QString& text) {
        const QStringList wh = text.split('x');
        c->Call("SetViewSize", {wh[0].toInt(), wh[1].toInt()});
    });
    buttons->addWidget(size);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(widget, 0, Qt::AlignTop);
    layout->addLayout(buttons);
}

} // namespace kestrova::app

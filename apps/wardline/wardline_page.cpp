#include "wardline_page.h"

#include "hosting/hosted_control.h"
#include "motion/motion_host_interface.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kestrova::wardline {

CPageWindow::CPageWindow(int mode, hosting::HostedControl& control, QWidget* parent)
    : QWidget(parent), control_(control), mode_(mode) {
    setWindowTitle("Motion detection");
    QWidget* widget = control_.Widget();
    widget->setParent(this);
    widget->setFixedSize(widget->size()); // the control sizes itself to its window
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(widget);
    auto* side = new QVBoxLayout;
    layout->addLayout(side);
    if (mode != 2) {
        auto* grid = new QGridLayout;
        grid->addWidget(new QLabel("Area"), 0, 0);
        grid->addWidget(new QLabel("On"), 0, 1);
        grid->addWidget(new QLabel("Threshold"), 0, 2);
        grid->addWidget(new QLabel("Title"), 0, 3);
        grid->addWidget(new QLabel("Motion"), 0, 4);
        for (int n = 0; n < 4; ++n) {
            grid->addWidget(new QLabel(QString::number(n + 1)), n + 1, 0);
            enable_[n] = new QCheckBox;
            threshold_[n] = new QSpinBox;
            threshold_[n]->setRange(-32768, 32767);
            threshold_[n]->setObjectName(QStringLiteral("Threshold%1").arg(n + 1));
            title_[n] = new QLineEdit;
            title_[n]->setObjectName(QStringLiteral("Title%1").arg(n + 1));
            title_[n]->setMinimumWidth(120);
            indicator_[n] = new QProgressBar;
            indicator_[n]->setRange(0, 255);
            indicator_[n]->setTextVisible(false);
            grid->addWidget(enable_[n], n + 1, 1);
            grid->addWidget(threshold_[n], n + 1, 2);
            grid->addWidget(title_[n], n + 1, 3);
            grid->addWidget(indicator_[n], n + 1, 4);
            connect(enable_[n], &QCheckBox::toggled, this, [this, n](bool on) {
                control_.Call("MotionEnable", {n, on ? 1 : 0});
            });
            connect(threshold_[n], &QSpinBox::valueChanged, this, [this, n](int v) {
                control_.Call("SetMotionThrehold", {n, v});
            });
            connect(title_[n], &QLineEdit::editingFinished, this, [this, n] {
                control_.Call("SetMotionTitle", {n, title_[n]->text()});
            });
        }
        side->addLayout(grid);
        auto* apply = new QPushButton("Apply");
        apply->setObjectName("Apply");
        apply->setToolTip("Send the areas to the camera (Enter)");
        connect(apply, &QPushButton::clicked, this, &CPageWindow::Apply);
        side->addWidget(apply);
        connect(&poll_, &QTimer::timeout, this, &CPageWindow::Poll);
        poll_.start(200);
    } else {
        auto* ok = new QPushButton("OK");
        auto* cancel = new QPushButton("Cancel");
        auto* motion = control_.As<motion::MotionHostInterface>();
        connect(ok, &QPushButton::clicked, this, [motion] { motion->ConfirmView(); });
        connect(cancel, &QPushButton::clicked, this, [motion] { motion->CancelView(); });
        side->addWidget(ok);
        side->addWidget(cancel);
    }
    side->addStretch();
}

CPageWindow::~CPageWindow() = default;

long CPageWindow::Get(const char* method, int area) const {
    return static_cast<long>(control_.Call(method, {area}).toLongLong());
}

void CPageWindow::SetCamera(const QString& name) {
    camera_ = name;
    setWindowTitle(QStringLiteral("Motion detection \u2014 %1").arg(name));
}

void CPageWindow::CommitTitles() {
    for (int n = 0; n < 4; ++n)
        if (title_[n] && title_[n]->text() != control_.Call("GetMotionTitle", {n}).toString())
            control_.Call("SetMotionTitle", {n, title_[n]->text()});
}

void CPageWindow::Apply() {
    if (mode_ == 2)
        return;
    CommitTitles();
    control_.Call("MotionApply");
    auto* motion = control_.As<motion::MotionHostInterface>();
    const bool failed = motion && !motion->LastSaveConfirmed();
    const motion::AreaSet before = saved_;
    Refresh();
    if (failed)
        saved_ = before; // nothing reached the camera: the edits stay unsaved
}

namespace {

bool SameSetup(const motion::AreaSet& a, const motion::AreaSet& b) {
    for (int n = 0; n < motion::kAreaCount; ++n) {
        const motion::MotionArea& x = a.areas[n];
        const motion::MotionArea& y = b.areas[n];
        if (x.enable != y.enable || x.threshold != y.threshold || x.sensitivity != y.sensitivity ||
            x.x1 != y.x1 || x.y1 != y.y1 || x.x2 != y.x2 || x.y2 != y.y2 || x.title != y.title)
            return false;
    }
    return true;
}

} // namespace

bool CPageWindow::HasUnsavedChanges() const {
    auto* motion = control_.As<motion::MotionHostInterface>();
    if (mode_ == 2 || !motion || !savedKnown_ || !motion->Areas().loaded)
        return false;
    for (int n = 0; n < 4; ++n)
        if (title_[n] && title_[n]->text() != QString::fromStdString(saved_.areas[n].title))
            return true;
    return !SameSetup(motion->Areas(), saved_);
}

void CPageWindow::keyPressEvent(QKeyEvent* event) {
    // Enter in any field applies, as the Apply button does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Apply();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CPageWindow::Refresh() {
    if (auto* motion = control_.As<motion::MotionHostInterface>()) {
        saved_ = motion->Areas();
        savedKnown_ = true;
    }
    for (int n = 0; n < 4; ++n) {
        if (!enable_[n])
            continue;
        const QSignalBlocker b1(enable_[n]), b2(threshold_[n]), b3(title_[n]);
        enable_[n]->setChecked(Get("GetMotionEnable", n) > 0);
        threshold_[n]->setValue(static_cast<int>(Get("GetMotionThrehold", n)));
        title_[n]->setText(control_.Call("GetMotionTitle", {n}).toString());
    }
}

void CPageWindow::Poll() {
    for (int n = 0; n < 4; ++n)
        if (indicator_[n])
            indicator_[n]->setValue(static_cast<int>(Get("GetMotionIndicator", n)));
}

void CPageWindow::closeEvent(QCloseEvent* event) {
    if (HasUnsavedChanges()) {
        const auto answer =
            askOnClose ? askOnClose()
                       : QMessageBox::question(
                             this, windowTitle(),
                             QStringLiteral("The motion areas of %1 were changed. Apply the "
                                            "changes to the camera before closing?")
                                 .arg(camera_.isEmpty() ? QStringLiteral("the camera") : camera_),
                             QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                             QMessageBox::Save);
        if (answer == QMessageBox::Cancel) {
            event->ignore();
            return;
        }
        if (answer == QMessageBox::Save)
            Apply();
    }
    poll_.stop();
    control_.Call("StopPlay");
    QWidget::closeEvent(event);
}

} // namespace kestrova::wardline

#include "wardline_page.h"

#include "motion/motion_control.h"
#include "motion/motion_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kestrova::wardline {

CPageWindow::CPageWindow(int mode, QWidget* parent)
    : QWidget(parent), control_(new motion::COrloMotionDetectCtrl(this)) {
    setWindowTitle("Motion detection");
    control_->setFixedSize(motion::CMotionWindow::kWidth, motion::CMotionWindow::kHeight);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(control_);
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
            const short idx = static_cast<short>(n);
            grid->addWidget(new QLabel(QString::number(n + 1)), n + 1, 0);
            enable_[n] = new QCheckBox;
            threshold_[n] = new QSpinBox;
            threshold_[n]->setRange(-32768, 32767);
            title_[n] = new QLineEdit;
            title_[n]->setMinimumWidth(120);
            indicator_[n] = new QProgressBar;
            indicator_[n]->setRange(0, 255);
            indicator_[n]->setTextVisible(false);
            grid->addWidget(enable_[n], n + 1, 1);
            grid->addWidget(threshold_[n], n + 1, 2);
            grid->addWidget(title_[n], n + 1, 3);
            grid->addWidget(indicator_[n], n + 1, 4);
            connect(enable_[n], &QCheckBox::toggled, this,
                    [this, idx](bool on) { control_->MotionEnable(idx, on ? 1 : 0); });
            connect(threshold_[n], &QSpinBox::valueChanged, this, [this, idx](int v) {
                control_->SetMotionThrehold(idx, static_cast<short>(v));
            });
            connect(title_[n], &QLineEdit::editingFinished, this,
                    [this, idx, n] { control_->SetMotionTitle(idx, title_[n]->text()); });
        }
        side->addLayout(grid);
        auto* apply = new QPushButton("Apply");
        connect(apply, &QPushButton::clicked, this, [this] {
            control_->MotionApply();
            Refresh();
        });
        side->addWidget(apply);
        connect(&poll_, &QTimer::timeout, this, &CPageWindow::Poll);
        poll_.start(200);
    } else {
        auto* ok = new QPushButton("OK");
        auto* cancel = new QPushButton("Cancel");
        connect(ok, &QPushButton::clicked, this, [this] { control_->Window().OnOk(); });
        connect(cancel, &QPushButton::clicked, this, [this] { control_->Window().OnCancel(); });
        side->addWidget(ok);
        side->addWidget(cancel);
    }
    side->addStretch();
}

CPageWindow::~CPageWindow() = default;

void CPageWindow::Refresh() {
    for (int n = 0; n < 4; ++n) {
        if (!enable_[n])
            continue;
        const short idx = static_cast<short>(n);
        const QSignalBlocker b1(enable_[n]), b2(threshold_[n]), b3(title_[n]);
        enable_[n]->setChecked(control_->GetMotionEnable(idx) > 0);
        threshold_[n]->setValue(static_cast<int>(control_->GetMotionThrehold(idx)));
        title_[n]->setText(control_->GetMotionTitle(idx));
    }
}

void CPageWindow::Poll() {
    for (int n = 0; n < 4; ++n)
        if (indicator_[n])
            indicator_[n]->setValue(
                static_cast<int>(control_->GetMotionIndicator(static_cast<short>(n))));
}

void CPageWindow::closeEvent(QCloseEvent* event) {
    poll_.stop();
    control_->StopPlay();
    QWidget::closeEvent(event);
}

} // namespace kestrova::wardline

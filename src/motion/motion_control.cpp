#include "motion/motion_control.h"

#include "motion/auth_prompt.h"
#include "motion/motion_engine.h"
#include "motion/motion_window.h"

namespace kestrova::motion {

COrloMotionDetectCtrl::COrloMotionDetectCtrl(QWidget* parent)
    : QWidget(parent), window_(new CMotionWindow(this)) {
    resize(CMotionWindow::kWidth, CMotionWindow::kHeight);
}

COrloMotionDetectCtrl::~COrloMotionDetectCtrl() = default;

void COrloMotionDetectCtrl::SetDialogHost(MotionDialogHost* host) {
    host_ = host;
    window_->SetDialogHost(host);
}

QString COrloMotionDetectCtrl::MessageText() const {
    return window_->MessageText();
}

bool COrloMotionDetectCtrl::LastSaveConfirmed() const {
    return window_->LastSaveConfirmed();
}

AreaSet COrloMotionDetectCtrl::Areas() const {
    return window_->Areas();
}

ViewArea COrloMotionDetectCtrl::View() const {
    return window_->View();
}

bool COrloMotionDetectCtrl::SetAreaTitle(int index, const std::string& title) {
    return window_->SetMotionTitle(index, title);
}

void COrloMotionDetectCtrl::ConfirmView() {
    window_->OnOk();
}

void COrloMotionDetectCtrl::CancelView() {
    window_->OnCancel();
}

std::string COrloMotionDetectCtrl::EngineText() const {
    return MotionEngine::Instance().LastEngineText();
}

uint64_t COrloMotionDetectCtrl::PicturesDrawn() const {
    // The engine is one process-wide set: this counts the module's pictures.
    return MotionEngine::Instance().PicturesDrawn();
}

void COrloMotionDetectCtrl::SetTimings(const MotionTimings& timings) {
    window_->SetTimings(timings);
}

void COrloMotionDetectCtrl::CreateControlWindow() {
    window_->CreateWindow();
}

void COrloMotionDetectCtrl::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    CreateControlWindow();
}

void COrloMotionDetectCtrl::StopPlay() {
    window_->StopPlay();
}

long COrloMotionDetectCtrl::GetMotionIndicator(short nIdx) {
    return window_->GetMotionIndicator(nIdx);
}

long COrloMotionDetectCtrl::GetMotionThrehold(short nIdx) {
    return window_->GetMotionThrehold(nIdx);
}

void COrloMotionDetectCtrl::SetMotionThrehold(short nIdx, short nValue) {
    window_->SetMotionThrehold(nIdx, nValue);
}

void COrloMotionDetectCtrl::MotionApply() {
    window_->MotionApply();
}

void COrloMotionDetectCtrl::MotionEnable(short nIdx, short nVal) {
    window_->MotionEnable(nIdx, nVal);
}

long COrloMotionDetectCtrl::GetMotionEnable(short nIdx) {
    return window_->GetMotionEnable(nIdx);
}

bool COrloMotionDetectCtrl::SetSource(const QString& szUrl, const QString& szFrameType,
                                      short nOcxType, const QString& szAuth) {
    return window_->SetSource(szUrl.toStdString(), szFrameType.toStdString(), nOcxType,
                              szAuth.toStdString());
}

QString COrloMotionDetectCtrl::GetMotionTitle(short nIdx) {
    const auto title = window_->GetMotionTitle(nIdx);
    return title ? QString::fromStdString(*title) : QString();
}

void COrloMotionDetectCtrl::SetMotionTitle(short nIdx, const QString& szTitle) {
    window_->SetMotionTitle(nIdx, szTitle.toStdString());
}

void COrloMotionDetectCtrl::AboutBox() {
    if (host_)
        host_->About();
    else
        ShowMotionAbout(this);
}

} // namespace kestrova::motion

#include "viewer/player_control.h"

#include "hosting/dispatch.h"
#include "stream/asf_session.h"
#include "stream/mjpeg_session.h"
#include "stream/mpeg4_display.h"
#include "viewer/about_dialog.h"
#include "viewer/camera_answer.h"
#include "viewer/dialog_host.h"
#include "viewer/kestrova_dispatch.h"
#include "viewer/message_box.h"
#include "viewer/video_window.h"

#include <QDesktopServices>
#include <QUrl>
#include <tuple>

namespace kestrova::viewer {

COrloPlayerSetaCtrl::COrloPlayerSetaCtrl(QWidget* parent)
    : QWidget(parent), window_(new CVideoWindow(this)) {
    setObjectName(QStringLiteral("KestrovaControl"));
    window_->setGeometry(0, 0, CVideoWindow::kWidth, CVideoWindow::kHeight);
    resize(CVideoWindow::kWidth, CVideoWindow::kHeight);
    opener_ = [](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); };
    connect(window_, &CVideoWindow::pictureDrawn, this, &COrloPlayerSetaCtrl::pictureDrawn);
    connect(window_, &CVideoWindow::engineText, this, &COrloPlayerSetaCtrl::engineText);
}

COrloPlayerSetaCtrl::~COrloPlayerSetaCtrl() = default;

void COrloPlayerSetaCtrl::SetDialogHost(DialogHost* host) {
    host_ = host;
    window_->SetDialogHost(host);
}

void COrloPlayerSetaCtrl::SetSoundDevice(std::shared_ptr<audio::SoundDevice> device) {
    window_->SetSoundDevice(std::move(device));
}

void COrloPlayerSetaCtrl::SetSoundNotice(std::function<void(const std::string& text)> notice) {
    window_->SetSoundNotice(std::move(notice));
}

void COrloPlayerSetaCtrl::SetMessageObserver(std::function<void(int id)> observer) {
    viewer::SetMessageObserver(std::move(observer));
}

bool COrloPlayerSetaCtrl::SourceReady() const {
    return window_->SourceReady();
}

PlayerStatistics COrloPlayerSetaCtrl::Statistics() const {
    PlayerStatistics s;
    s.picturesMpeg4 = window_->PicturesDrawn(true);
    s.picturesJpeg = window_->PicturesDrawn(false);
    s.decodedMpeg4 = window_->Mpeg4Display().DecodedPictures();
    s.droppedMpeg4 = window_->Mpeg4Display().DroppedFrames();
    s.width = window_->StreamWidth();
    s.height = window_->StreamHeight();
    s.endedCodes = window_->EndedCodes();
    s.bytesReceived =
        window_->AsfSession().BytesReceived() + window_->MJpegSession().BytesReceived();
    s.playing = window_->IsPlaying();
    std::tie(s.engineTextCode, s.engineText) = window_->LastEngineText();
    return s;
}

void COrloPlayerSetaCtrl::StartPlay(int bRecord, const QString& sRecordFilename) {
    window_->StartPlay(bRecord, sRecordFilename.toStdString());
}
void COrloPlayerSetaCtrl::StopPlay() {
    window_->StopPlay();
}
void COrloPlayerSetaCtrl::SetZoomPercent(int nPercent) {
    window_->SetZoomPercent(nPercent);
}
void COrloPlayerSetaCtrl::SetPlayAudio() {
    window_->SetPlayAudio();
}
void COrloPlayerSetaCtrl::StopPlayAudio() {
    window_->StopPlayAudio();
}
void COrloPlayerSetaCtrl::SnapShot() {
    window_->SnapShot();
}
void COrloPlayerSetaCtrl::SetViewSize(int nWidth, int nHeight) {
    window_->SetViewSize(nWidth, nHeight);
}
void COrloPlayerSetaCtrl::VideoFlip() {
    window_->VideoFlip();
}
void COrloPlayerSetaCtrl::VideoMirror() {
    window_->VideoMirror();
}
void COrloPlayerSetaCtrl::VideoZoom() {
    window_->VideoZoom();
}
void COrloPlayerSetaCtrl::AudioVolume(int nVal) {
    window_->AudioVolume(nVal);
}
void COrloPlayerSetaCtrl::DirectPT(int nVal) {
    window_->DirectPT(nVal);
}
void COrloPlayerSetaCtrl::RestoreVideo() {
    window_->RestoreVideo();
}

bool COrloPlayerSetaCtrl::SetSource(const QString& sURL, const QString& sFrameType,
                                    const QString& sPanTilt, const QString& sFrameRate,
                                    const QString& base64string) {
    return window_->SetSource(sURL.toStdString(), sFrameType.toStdString(), sPanTilt.toStdString(),
                              sFrameRate.toStdString(), base64string.toStdString());
}

void COrloPlayerSetaCtrl::OpenSettingPage(const QString& sURL) {
    // Only web pages are opened, and never through a shell: anything else is ignored.
    const std::string url = sURL.toStdString();
    if (!IsBrowsableUrl(url))
        return;
    lastOpened_ = sURL;
    if (opener_)
        (void)opener_(sURL); // the control does not wait and ignores failure
}

void COrloPlayerSetaCtrl::AboutBox() {
    if (host_) {
        host_->About();
        return;
    }
    CAboutDialog about(this);
    about.exec();
}

bool COrloPlayerSetaCtrl::Invoke(int dispid, const QVariantList& args, QVariant* result,
                                 QString* error) {
    return hosting::DispatchTable(&KestrovaDispatch()).Invoke(this, dispid, args, result, error);
}

bool COrloPlayerSetaCtrl::Invoke(std::string_view name, const QVariantList& args, QVariant* result,
                                 QString* error) {
    return hosting::DispatchTable(&KestrovaDispatch()).Invoke(this, name, args, result, error);
}

} // namespace kestrova::viewer

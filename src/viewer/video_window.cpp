#include "viewer/video_window.h"

#include "audio/audio_player.h"
#include "audio/fallback_sound_device.h"
#include "audio/null_sound_device.h"
#include "audio/qt_sound_device.h"
#include "net/endpoints.h"
#include "net/refusal.h"
#include "platform/posted_event.h"
#include "platform/settings_store.h"
#include "stream/asf_session.h"
#include "stream/jpeg_display.h"
#include "stream/mjpeg_session.h"
#include "stream/mpeg4_display.h"
#include "viewer/auth_dialog.h"
#include "viewer/camera_answer.h"
#include "viewer/cursors.h"
#include "viewer/dialog_host.h"
#include "viewer/dialog_units.h"
#include "viewer/message_box.h"
#include "viewer/snapshot_dialog.h"
#include "viewer/string_table.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <sys/stat.h>
#include <thread>

namespace kestrova::viewer {

namespace {

// A posted engine message: the event type is QEvent::User + the message id.
class StreamEvent : public QEvent {
public:
    StreamEvent(uint32_t message, uintptr_t wParam, intptr_t lParam)
        : QEvent(static_cast<QEvent::Type>(QEvent::User + static_cast<int>(message))),
          message_(message), wParam_(wParam), lParam_(lParam) {}
    uint32_t Message() const { return message_; }
    uintptr_t WParam() const { return wParam_; }
    intptr_t LParam() const { return lParam_; }

private:
    uint32_t message_;
    uintptr_t wParam_;
    intptr_t lParam_;
};

bool IsSafeRecordTarget(const std::string& path) {
    if (path.empty())
        return false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return true; // a new file
    return S_ISREG(st.st_mode);
}

constexpr int EventType(uint32_t message) {
    return QEvent::User + static_cast<int>(message);
}

// Posted by a display path after it composed a picture. A plain posted event rather
// than a queued functor: the event is handed over under the event queue's lock, so
// the display thread never touches it again.
constexpr int kPictureComposedEvent = QEvent::User + 1;
// Posted by an engine thread with a notice for the user while the play goes on.
constexpr int kEngineNoticeEvent = QEvent::User + 2;

} // namespace

CVideoWindow::CVideoWindow(QWidget* parent) : QWidget(parent), request_(HttpCameraRequest()) {
    setObjectName(QStringLiteral("VideoWindow"));
    setGeometry(0, 0, kWidth, kHeight);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("item218"));
    status_->setGeometry(DluRect(0, 0, 427, 63));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(14);
    font.setWeight(QFont::Bold);
    status_->setFont(font);
    status_->hide();

    const auto profile = stream::StreamProfile::Viewer();
    mpeg4Display_ = std::make_unique<stream::CMpeg4Display>(*this, profile);
    jpegDisplay_ = std::make_unique<stream::CJpegDisplay>(*this, profile);
    // Real sound wherever a sound card opens; otherwise the play keeps its pace on the
    // null device and the host is told that nothing will be heard.
    auto sound = std::make_shared<audio::FallbackSoundDevice>(
        std::make_shared<audio::QtSoundDevice>(), std::make_shared<audio::NullSoundDevice>(),
        [this] {
            std::lock_guard lock(soundNoticeMutex_);
            if (soundNotice_)
                soundNotice_("no sound device could be opened; the camera's sound is not played");
        });
    audio_ = std::make_unique<audio::CAudioPlayer>(this, std::move(sound));
    asf_ = std::make_unique<stream::CAsfSession>(*this, profile);
    mjpeg_ = std::make_unique<stream::CMJpegSession>(*this, profile);
    asf_->SetDisplay(mpeg4Display_.get());
    asf_->SetAudio(audio_.get());
    mjpeg_->SetDisplay(jpegDisplay_.get());
    mjpeg_->SetAudio(audio_.get());

    platform::SettingsStore store;
    snapshotFolder_ = platform::ReadSnapshotFolder(store);
    audioLevel_ = kSilentLevel;
}

CVideoWindow::~CVideoWindow() {
    // Sessions stop their display path and audio object in their stop sequence.
    restartAllowed_ = false;
    asf_->StopThread(timings_.sessionStop);
    mjpeg_->StopThread(timings_.sessionStop);
    mpeg4Display_->StopThread(timings_.consumerStop);
    jpegDisplay_->StopThread(timings_.consumerStop);
    audio_->StopThread(timings_.consumerStop);
    // A stop that timed out above leaves its thread running: it may still be decoding a
    // picture it then draws into this window, so wait for every thread to end before any
    // member goes.
    for (stream::CStreamThread* t : std::initializer_list<stream::CStreamThread*>{
             asf_.get(), mjpeg_.get(), mpeg4Display_.get(), jpegDisplay_.get(), audio_.get()})
        t->StopAndJoin();
    // Events still queued for this window are deleted by Qt after this body.
    platform::AcquirePostedEvents();
}

void CVideoWindow::SetTimings(const stream::EngineTimings& timings) {
    timings_ = timings;
    asf_->SetTimings(timings);
    mjpeg_->SetTimings(timings);
    mpeg4Display_->SetTimings(timings);
    jpegDisplay_->SetTimings(timings);
}

void CVideoWindow::SetHttpOptions(const net::CHttpPoster::Options& options) {
    request_ = HttpCameraRequest(options);
}

void CVideoWindow::SetSoundDevice(std::shared_ptr<audio::SoundDevice> device) {
    audio_->SetDevice(std::move(device));
}

void CVideoWindow::SetSoundNotice(std::function<void(const std::string& text)> notice) {
    std::lock_guard lock(soundNoticeMutex_);
    soundNotice_ = std::move(notice);
}

void CVideoWindow::SetSnapshotWait(int steps, std::chrono::milliseconds step) {
    snapshotSteps_ = steps;
    snapshotStep_ = step;
}

PathView& CVideoWindow::ActiveView() {
    return IsMpeg() ? mpeg4View_ : jpegView_;
}

bool CVideoWindow::IsPlaying() const {
    return IsMpeg() ? !asf_->IsFinished() : !mjpeg_->IsFinished();
}

std::vector<int> CVideoWindow::EndedCodes() const {
    std::lock_guard lock(codesMutex_);
    return endedCodes_;
}

std::pair<int, std::string> CVideoWindow::LastEngineText() const {
    std::lock_guard lock(codesMutex_);
    return engineText_;
}

void CVideoWindow::StreamDiagnostic(int code, const std::string& text) {
    {
        std::lock_guard lock(codesMutex_);
        engineText_ = {code, text};
    }
    // An end's text goes out with the end's own event.
    if (code == 0)
        platform::PostEvent(this, new QEvent(static_cast<QEvent::Type>(kEngineNoticeEvent)));
}

int CVideoWindow::StreamWidth() const {
    return drawView_.load()->width.load();
}

int CVideoWindow::StreamHeight() const {
    return drawView_.load()->height.load();
}

void CVideoWindow::HandTargets() {
    // A running session keeps its target until the page stops it.
    if (asf_->IsFinished())
        asf_->SetTarget(AsfUrl(), user_, password_);
    if (mjpeg_->IsFinished())
        mjpeg_->SetTarget(MJpegUrl(), user_, password_);
}

bool CVideoWindow::SetSource(const std::string& url, const std::string& frameType,
                             const std::string& panTilt, const std::string& frameRate,
                             const std::string& base64string) {
    frameType_ = frameType;
    base_ = net::ViewerBase(url, IsMpeg());
    restartAllowed_ = true;
    panTiltRights_ = panTilt;
    frameRate_ = frameRate;
    const Credentials c = DecodeCredentials(base64string);
    user_ = c.user;
    password_ = c.password;

    std::string body;
    if (const RequestOutcome login = request_(body, LoginUrl(), user_, password_); !login) {
        sourceReady_ = false;
        ShowMessage(this, login.tooLarge ? kStrAnswerTooLarge : kStrCannotConnect, host_);
        return true;
    }
    if (net::IsLoginRefused(body)) {
        AuthFlow flow(LoginUrl(), user_, password_, request_);
        int result;
        if (host_) {
            result = CAuthDialog::RunWithHost(flow, *host_);
        } else {
            CAuthDialog dialog(flow, this);
            result = dialog.exec();
        }
        if (result != QDialog::Accepted || flow.FailedAttempts() >= AuthFlow::kMaxFailures) {
            sourceReady_ = false;
            ShowMessage(this, kStrLoginFailed, host_);
            return true;
        }
        user_ = flow.User();
        password_ = flow.Password();
        panTiltRights_ = flow.PanTiltRights();
        ioRights_ = flow.IoRights();
    }
    if (auto pt = AnswerValue(body, "ptctrl="))
        panTiltRights_ = *pt;
    if (auto io = AnswerValue(body, "ioctrl="))
        ioRights_ = *io;

    sourceReady_ = true;
    HandTargets();
    audio_->SetAudioWanted(true);
    mpeg4View_.zoomOn.store(false);
    jpegView_.zoomOn.store(false);
    startOnCreate_ = true;
    return true;
}

void CVideoWindow::StartPlay(long record, const std::string& recordFilename) {
    if (!sourceReady_)
        return;
    std::string body;
    if (request_(body, QueryUrl(), user_, password_)) {
        if (auto type = AnswerValue(body, "type="))
            frameType_ = *type == "mpeg4" ? "mpeg" : "jpeg";
        if (auto voice = AnswerValue(body, "voice_out="))
            voiceOut_ = *voice;
    }
    if (IsMpeg()) {
        if (!asf_->IsFinished())
            return;
        ResetClocks();
        recordFile_ = recordFilename;
        // The record file is written only as a regular file of its own: an existing name
        // that is a symbolic link, a device or a folder is not recorded to.
        asf_->SetRecord(record != 0 && IsSafeRecordTarget(recordFilename), recordFilename);
        drawView_.store(&mpeg4View_);
        asf_->Start();
    } else {
        if (!mjpeg_->IsFinished())
            return;
        ResetClocks();
        recordFile_ = recordFilename;
        if (!frameRate_.empty())
            mjpeg_->SetTarget(net::MJpegUrlWithSpeed(MJpegUrl(), frameRate_), user_, password_);
        drawView_.store(&jpegView_);
        mjpeg_->Start();
    }
    update();
}

void CVideoWindow::StopPlay() {
    if (!sourceReady_)
        return;
    restartAllowed_ = false;
    std::this_thread::sleep_for(std::chrono::milliseconds(timings_.stopPause));
    stream::CStreamSession& session =
        IsMpeg() ? static_cast<stream::CStreamSession&>(*asf_) : *mjpeg_;
    if (!session.IsFinished())
        session.StopThread(timings_.sessionStop);
    restartAllowed_ = true;
}

void CVideoWindow::SetZoomPercent(long percent) {
    mpeg4View_.percent.store(static_cast<int>(percent));
    update();
}

void CVideoWindow::SetPlayAudio() {
    if (sourceReady_ && audio_->IsOpen())
        audio_->SetAudioWanted(true);
}

void CVideoWindow::StopPlayAudio() {
    if (sourceReady_ && audio_->IsOpen())
        audio_->SetAudioWanted(false);
}

void CVideoWindow::SetViewSize(long width, long height) {
    PathView& v = ActiveView();
    v.viewWidth.store(static_cast<int>(width));
    v.viewHeight.store(static_cast<int>(height));
    update();
}

void CVideoWindow::VideoFlip() {
    flip_ = !flip_;
    mirrorMode_ = MirrorMode(flip_, mirror_);
    ActiveView().mirrorMode.store(mirrorMode_);
}

void CVideoWindow::VideoMirror() {
    mirror_ = !mirror_;
    mirrorMode_ = MirrorMode(flip_, mirror_);
    ActiveView().mirrorMode.store(mirrorMode_);
}

void CVideoWindow::VideoZoom() {
    if (zoomArmed_) {
        zoomArmed_ = false;
        zoomApplied_ = false;
        ActiveView().zoomOn.store(false);
        zoomWindow_.left = zoomWindow_.top = -1;
    } else {
        zoomCursor_ = MakeZoomCursor();
        zoomArmed_ = true;
    }
    UpdateCursor();
}

void CVideoWindow::RestoreVideo() {
    flip_ = mirror_ = false;
    zoomArmed_ = zoomApplied_ = false;
    PathView& v = ActiveView();
    v.zoomOn.store(false);
    zoomWindow_.left = zoomWindow_.top = -1;
    mirrorMode_ = 0;
    v.mirrorMode.store(0);
    UpdateCursor();
}

void CVideoWindow::AudioVolume(long value) {
    const int level = AudioLevelFromVolume(value);
    if (audio_->IsOpen())
        audio_->SetVolume(level);
    else
        audioLevel_ = level;
}

void CVideoWindow::DirectPT(long value) {
    if (value != 0) {
        panTiltMode_ = true;
        panTiltCursor_ = MakePanTiltCursor();
    } else {
        panTiltMode_ = false;
        panTiltCursor_.reset();
    }
    UpdateCursor();
}

void CVideoWindow::SnapShot() {
    PathView& view = ActiveView();
    view.snapshotRequest.store(true);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    bool built = !view.snapshotRequest.load();
    for (int step = 0; !built && step < snapshotSteps_; ++step) {
        std::this_thread::sleep_for(snapshotStep_);
        built = !view.snapshotRequest.load();
    }
    if (!built) {
        QGuiApplication::restoreOverrideCursor();
        return;
    }
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    lastDefaultName_ = DefaultSnapshotName(snapshotFolder_, d.year(), d.month(), d.day(), t.hour(),
                                           t.minute(), t.second());
    if (host_) {
        CSnapshotDialog::RunWithHost(view, lastDefaultName_, *host_);
    } else {
        CSnapshotDialog dialog(view, lastDefaultName_, this);
        dialog.exec();
    }
    QGuiApplication::restoreOverrideCursor();
}

void CVideoWindow::PostStreamMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    platform::PostEvent(this, new StreamEvent(message, wParam, lParam));
}

void CVideoWindow::DrawPicture(const stream::VideoPicture& picture) {
    PathView* view = drawView_.load();
    if (!composer_.Compose(picture, *view))
        return;
    (view == &mpeg4View_ ? drawnMpeg4_ : drawnJpeg_).fetch_add(1);
    if (!updatePending_.exchange(true))
        platform::PostEvent(this, new QEvent(static_cast<QEvent::Type>(kPictureComposedEvent)));
}

bool CVideoWindow::event(QEvent* e) {
    platform::AcquirePostedEvents();
    switch (static_cast<int>(e->type())) {
    case EventType(stream::WM_STREAM_ENDED):
        OnStreamEnded(static_cast<int>(static_cast<StreamEvent*>(e)->WParam()));
        return true;
    case EventType(stream::WM_VIDEO_READY):
        OnVideoReady();
        return true;
    case EventType(stream::WM_AUDIO_READY):
        OnAudioReady();
        return true;
    case kEngineNoticeEvent: {
        const auto [code, text] = LastEngineText();
        if (code == 0 && !text.empty())
            emit engineText(0, QString::fromStdString(text));
        return true;
    }
    case kPictureComposedEvent:
        updatePending_ = false;
        // Painted now: a new picture is the only thing this event asks for, and an update
        // request would cost the event loop a second round per picture.
        repaint();
        emit pictureDrawn();
        return true;
    case QEvent::Show:
        if (!created_) {
            created_ = true;
            OnCreated();
        }
        return QWidget::event(e);
    default:
        return QWidget::event(e);
    }
}

void CVideoWindow::OnCreated() {
    // A page that set the source before the control was shown gets its play now.
    if (!startOnCreate_)
        return;
    HandTargets();
    StartPlay(0, std::string());
}

void CVideoWindow::OnStreamEnded(int code) {
    {
        std::lock_guard lock(codesMutex_);
        endedCodes_.push_back(code);
    }
    if (const auto [textCode, text] = LastEngineText(); textCode == code && !text.empty())
        emit engineText(code, QString::fromStdString(text));
    emit streamEnded(code);
    if (code == 310) {
        StopPlay();
        ShowMessage(this, kStrCameraBusy, host_);
        return;
    }
    if (!restartAllowed_)
        return;
    StopPlay();
    if (restartAllowed_)
        StartPlay(0, recordFile_); // a reconnect never resumes recording
}

int CVideoWindow::OnVideoReady() {
    if (!jpegDisplay_->Showing() && !mpeg4Display_->DecoderOpen())
        return 0;
    PathView& v = ActiveView();
    const int w = IsMpeg() ? mpeg4Display_->CurrentWidth() : jpegDisplay_->CurrentWidth();
    const int h = IsMpeg() ? mpeg4Display_->CurrentHeight() : jpegDisplay_->CurrentHeight();
    if (w > 0 && h > 0) {
        v.width.store(w);
        v.height.store(h);
        int expected = 0;
        v.viewWidth.compare_exchange_strong(expected, w);
        expected = 0;
        v.viewHeight.compare_exchange_strong(expected, h);
    }
    if (zoomArmed_ && zoomApplied_) {
        v.zoomX.store(zoomOrigin_.x);
        v.zoomY.store(zoomOrigin_.y);
        v.zoomWidth.store(v.width.load() / 2);
        v.zoomHeight.store(v.height.load() / 2);
        v.zoomOn.store(true);
    }
    status_->hide();
    update();
    emit videoReady();
    return 1;
}

void CVideoWindow::OnAudioReady() {
    if (audio_->IsOpen())
        audio_->SetVolume(audioLevel_);
}

void CVideoWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // White only where the picture does not reach: filling the whole window under it
    // would write every pixel twice per frame.
    const QRegion uncovered = QRegion(rect()).subtracted(composer_.Paint(p));
    for (const QRect& r : uncovered)
        p.fillRect(r, Qt::white);
}

void CVideoWindow::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(e);
        return;
    }
    const QPoint pos = e->position().toPoint();
    if (zoomArmed_ && !zoomApplied_) {
        ZoomClick(pos.x(), pos.y());
        return;
    }
    if (PanTiltClick(pos.x(), pos.y()))
        QWidget::mousePressEvent(e);
}

void CVideoWindow::ZoomClick(int x, int y) {
    PathView& v = ActiveView();
    const int w = v.width.load();
    const int h = v.height.load();
    const int vw = v.viewWidth.load();
    const int vh = v.viewHeight.load();
    if (w <= 0 || h <= 0)
        return; // no picture yet: nothing to zoom into
    const auto window = ZoomWindow(x, y, vw, vh);
    if (!window)
        return;
    zoomWindow_ = *window;
    zoomOrigin_ = ZoomSourceOrigin(window->left, window->top, w, h, vw, vh, mirrorMode_);
    v.zoomX.store(zoomOrigin_.x);
    v.zoomY.store(zoomOrigin_.y);
    v.zoomWidth.store(w / 2);
    v.zoomHeight.store(h / 2);
    v.zoomOn.store(true);
    zoomApplied_ = true;
    zoomCursor_.reset();
    UpdateCursor();
}

bool CVideoWindow::PanTiltClick(int x, int y) {
    if (!panTiltMode_)
        return true;
    PathView& v = ActiveView();
    const auto pt = ClickPanTilt(x, y, v.viewWidth.load(), v.viewHeight.load(), v.width.load(),
                                 v.height.load(), zoomApplied_, mirrorMode_);
    if (!pt)
        return false;
    lastPanTilt_ = net::PanTiltPositionUrl(PanTiltUrl(), pt->pan, pt->tilt);
    std::string body;
    return request_(body, lastPanTilt_, user_, password_) && body.empty();
}

void CVideoWindow::UpdateCursor() {
    const bool waiting = zoomArmed_ && !zoomApplied_;
    if (zoomCursor_) {
        setCursor(waiting ? *zoomCursor_ : QCursor(Qt::ArrowCursor));
    } else if (panTiltCursor_) {
        if (!panTiltMode_)
            setCursor(Qt::ArrowCursor);
        else if (waiting)
            setCursor(Qt::BlankCursor);
        else
            setCursor(*panTiltCursor_);
    } else {
        unsetCursor();
    }
}

} // namespace kestrova::viewer

#include "motion/motion_window.h"

#include "codec/image/frame_image.h"
#include "motion/area_frame.h"
#include "motion/area_geometry.h"
#include "motion/auth_prompt.h"
#include "motion/credentials.h"
#include "motion/motion_engine.h"
#include "motion/motion_protocol.h"
#include "platform/posted_event.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QThread>

namespace kestrova::motion {

namespace {
// Wait cursor for the length of a blocking exchange.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Every exchange with the camera blocks the window's thread: show the wait cursor for each.
class WaitCursorTransport final : public ConfigTransport {
public:
    explicit WaitCursorTransport(ConfigTransport& inner) : inner_(inner) {}
    std::optional<std::string> Post(const std::string& url, std::string_view body,
                                    const Credentials& credentials) override {
        WaitCursor wait;
        return inner_.Post(url, body, credentials);
    }
    bool PostForImage(FrameImage& image, const std::string& url, std::string_view body,
                      const Credentials& credentials, std::string* replyText) override {
        WaitCursor wait;
        return inner_.PostForImage(image, url, body, credentials, replyText);
    }

private:
    ConfigTransport& inner_;
};

constexpr int kNoticeMs = 4000;
constexpr int kMessagePixels = 28;    // the message line's font size
constexpr int kMessageMinPixels = 12; // smallest size a long message is set in

QImage ToQImage(const FrameImage& image) {
    const int w = image.Width(), h = image.Height();
    if (!image.IsValid() || w <= 0 || h <= 0)
        return {};
    QImage out(w, h, QImage::Format_RGB888);
    const uint8_t* bits = image.Bits();
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = bits + std::size_t(h - 1 - y) * image.Stride();
        uint8_t* dst = out.scanLine(y);
        for (int x = 0; x < w; ++x) {
            dst[3 * x] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x];
        }
    }
    return out;
}
} // namespace

CMotionWindow::CMotionWindow(QWidget* parent, std::unique_ptr<ConfigTransport> transport)
    : QWidget(parent),
      transport_(transport ? std::move(transport) : std::make_unique<HttpConfigTransport>()),
      waitingTransport_(std::make_unique<WaitCursorTransport>(*transport_)),
      client_(*waitingTransport_, *this) {
    setFocusPolicy(Qt::StrongFocus);
    ok_ = new QPushButton("OK", this);
    ok_->setDefault(true);
    cancel_ = new QPushButton("Cancel", this);
    picture_ = new QWidget(this);
    picture_->setObjectName("picture");
    message_ = new QLabel("Message", this);
    message_->setWordWrap(true);
    // Every control is drawn black on opaque white.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    setPalette(palette);
    message_->setAutoFillBackground(true);
    for (QWidget* w : {static_cast<QWidget*>(ok_), static_cast<QWidget*>(cancel_), picture_,
                       static_cast<QWidget*>(message_)})
        w->hide();
    connect(ok_, &QPushButton::clicked, this, &CMotionWindow::OnOk);
    connect(cancel_, &QPushButton::clicked, this, &CMotionWindow::OnCancel);
    noticeTimer_ = new QTimer(this);
    noticeTimer_->setSingleShot(true);
    connect(noticeTimer_, &QTimer::timeout, message_, &QWidget::hide);
    for (int n = 0; n < kAreaCount; ++n) {
        timers_[n] = new QTimer(this);
        connect(timers_[n], &QTimer::timeout, this, [this, n] { OnTimer(n); });
    }
    hide();
}

CMotionWindow::~CMotionWindow() {
    MotionEngine::Instance().ClearNotificationTarget(this);
    // Events still queued for this window are deleted by Qt after this body.
    platform::AcquirePostedEvents();
}

void CMotionWindow::CreateWindow() {
    if (created_)
        return;
    created_ = true;
    show();
    Initialise();
}

void CMotionWindow::DestroyWindow() {
    if (!created_)
        return;
    created_ = false;
    for (auto& f : frames_)
        delete f.data();
    for (QTimer* t : timers_)
        t->stop();
    MotionEngine::Instance().ClearNotificationTarget(this);
    hide();
}

void CMotionWindow::Initialise() {
    MotionEngine& engine = MotionEngine::Instance();
    if (engine.sessionActive) {
        // A stream of an earlier window still runs: keep out of its way.
        picture_->hide();
        return;
    }
    std::optional<WaitCursor> wait;
    wait.emplace();
    setGeometry(0, 0, kWidth, kHeight);
    picture_->setGeometry(0, 0, kPictureWidth, kPictureHeight);
    ok_->setGeometry(235, 500, 75, 20);
    cancel_->setGeometry(335, 500, 75, 20);
    message_->setGeometry(15, 15, 320, 40);
    engine.SetNotificationTarget(this);
    if (sourceSet_) {
        client_.SetBase(base_);
        if (!ReadConfiguration())
            return;
        StartShowing();
    }
    QFont f = font();
    f.setPixelSize(kMessagePixels);
    f.setBold(true);
    message_->setFont(f);
}

bool CMotionWindow::SetSource(const std::string& url, const std::string& frameType, int mode,
                              const std::string& auth) {
    const auto credentials = DecodeAuth(auth);
    if (!credentials)
        return false; // too long to be credentials
    client_.credentials = *credentials;
    if (MotionEngine::Instance().sessionActive) {
        ShowMessage(kMsgCannotConnect);
        return false;
    }
    WaitCursor wait;
    base_ = url;
    frameType_ = frameType;
    client_.SetMode(mode);
    sourceSet_ = true;
    if (!created_)
        return true;
    client_.SetBase(base_);
    if (!ReadConfiguration())
        return true;
    StartShowing();
    return true;
}

bool CMotionWindow::ReadConfiguration() {
    WaitCursor wait;
    if (!client_.ReadConfiguration())
        return false;
    // Frames kept from an earlier showing move to what the camera holds now.
    PlaceFramesFromModel(false);
    if (!client_.IsViewMode()) {
        scale_ = StreamScaleForResolution(client_.areas.resolution);
        for (QTimer* t : timers_)
            t->start(timings_.readPeriod);
    }
    return true;
}

void CMotionWindow::StartShowing() {
    MotionEngine& engine = MotionEngine::Instance();
    if (client_.IsViewMode()) {
        Pause(timings_.snapshotWait);
        FrameImage image;
        if (!client_.FetchSnapshot(image))
            return;
        snapshot_ = ToQImage(image);
    } else {
        scale_ = StreamScaleForResolution(client_.areas.resolution);
        if (!engine.SessionFinished(IsJpeg()))
            return; // an earlier stream still runs
        engine.SetNotificationTarget(this);
        engine.Start(IsJpeg(), IsJpeg() ? MJpegUrl() : AsfUrl(), client_.credentials.user,
                     client_.credentials.password, scale_);
    }
    ShowConfiguration();
    update();
    engine.sessionActive = true;
}

void CMotionWindow::ShowConfiguration() {
    picture_->setGeometry(0, 0, kPictureWidth, kPictureHeight);
    if (client_.IsViewMode()) {
        const ViewArea& v = client_.view;
        ShowFrame(0, v.enable, v.x1, v.y1, v.x2, v.y2);
    } else {
        update();
        for (int n = 0; n < kAreaCount; ++n) {
            const MotionArea& a = client_.areas.areas[n];
            ShowFrame(n + 1, a.enable, a.x1, a.y1, a.x2, a.y2);
        }
    }
    picture_->hide();
    ok_->setVisible(client_.IsViewMode());
    cancel_->setVisible(client_.IsViewMode());
    message_->hide();
}

void CMotionWindow::ShowFrame(int index, int enable, int x1, int y1, int x2, int y2) {
    if (index < 0 || index >= kFrameCount)
        return;
    QPointer<CAreaFrame>& frame = frames_[index];
    if (enable == 0) {
        if (frame)
            frame->hide();
        return;
    }
    if (!frame) {
        const QString title =
            index == 0 ? QString() : QString::fromStdString(client_.areas.areas[index - 1].title);
        frame = new CAreaFrame(title, QRect(0, 0, kPictureWidth, kPictureHeight), this);
        // Placed where the values say; only the user's next move pulls it onto the picture.
        frame->Place(QRect(x1, y1, x2 - x1, y2 - y1));
    }
    frame->show();
    frame->raise();
}

std::optional<Rect> CMotionWindow::FrameToCamera(int index) const {
    if (index < 0 || index >= kFrameCount || !frames_[index])
        return std::nullopt;
    return motion::FrameToCamera(frames_[index]->OuterRect(),
                                 Rect{0, 0, kPictureWidth, kPictureHeight});
}

std::optional<Rect> CMotionWindow::EditedFrameToCamera(int index) const {
    if (index < 0 || index >= kFrameCount || !frames_[index] || !frames_[index]->Edited())
        return std::nullopt;
    return FrameToCamera(index);
}

void CMotionWindow::PlaceFramesFromModel(bool enabledOnly) {
    auto place = [](CAreaFrame* f, int x1, int y1, int x2, int y2) {
        if (f)
            f->Place(QRect(x1, y1, x2 - x1, y2 - y1));
    };
    if (client_.IsViewMode()) {
        const ViewArea& v = client_.view;
        if (!enabledOnly || v.enable != 0)
            place(frames_[0], v.x1, v.y1, v.x2, v.y2);
        return;
    }
    for (int n = 0; n < kAreaCount; ++n) {
        const MotionArea& a = client_.areas.areas[n];
        if (!enabledOnly || a.enable != 0)
            place(frames_[n + 1], a.x1, a.y1, a.x2, a.y2);
    }
}

CAreaFrame* CMotionWindow::Frame(int index) const {
    return index >= 0 && index < kFrameCount ? frames_[index].data() : nullptr;
}

void CMotionWindow::ReleaseCamera() {
    MotionEngine& engine = MotionEngine::Instance();
    WaitCursor wait;
    if (!client_.IsViewMode()) {
        Pause(timings_.stopWait);
        engine.Stop(IsJpeg(), timings_.sessionStop);
    }
    engine.sessionActive = false;
    for (QTimer* t : timers_)
        t->stop();
    for (auto& f : frames_)
        delete f.data();
    if (client_.IsViewMode()) {
        snapshot_ = QImage();
        return;
    }
    client_.SendRelease();
}

void CMotionWindow::StopPlay() {
    if (!created_)
        return;
    ReleaseCamera();
    DestroyWindow();
}

long CMotionWindow::GetMotionIndicator(int index) const {
    return index >= 0 && index < kAreaCount ? client_.areas.areas[index].indicator : 0;
}

long CMotionWindow::GetMotionThrehold(int index) const {
    return index >= 0 && index < kAreaCount ? client_.areas.areas[index].threshold : 0;
}

void CMotionWindow::SetMotionThrehold(int index, int value) {
    if (index >= 0 && index < kAreaCount)
        client_.areas.areas[index].threshold = value;
}

void CMotionWindow::MotionApply() {
    MotionEngine& engine = MotionEngine::Instance();
    const auto result = client_.SaveAreas([this](int n) { return EditedFrameToCamera(n + 1); },
                                          [&] {
                                              WaitCursor wait;
                                              Pause(timings_.stopWait);
                                              engine.Stop(IsJpeg(), timings_.sessionStop);
                                              engine.sessionActive = false;
                                          });
    lastSaveConfirmed_ = result == SaveResult::Confirmed;
    if (result == SaveResult::Confirmed) {
        // The frames the user changed now stand where the stored values say.
        PlaceFramesFromModel(true);
        {
            WaitCursor wait;
            Pause(timings_.restartWait);
            StartShowing();
        }
        if (MessageText().isEmpty())
            ShowNotice(kMsgSaved);
    } else if (result == SaveResult::Unconfirmed) {
        ShowMessage(kMsgNotSaved);
    }
}

void CMotionWindow::MotionEnable(int index, int value) {
    if (index < 0 || index >= kAreaCount)
        return;
    MotionArea& a = client_.areas.areas[index];
    a.enable = value;
    if (value != 0)
        timers_[index]->start(timings_.enablePeriod);
    else
        timers_[index]->stop();
    ShowFrame(index + 1, a.enable, a.x1, a.y1, a.x2, a.y2);
}

long CMotionWindow::GetMotionEnable(int index) const {
    if (!client_.areas.loaded || index < 0 || index >= kAreaCount)
        return -1;
    return client_.areas.areas[index].enable;
}

std::optional<std::string> CMotionWindow::GetMotionTitle(int index) const {
    if (index < 0 || index >= kAreaCount)
        return std::nullopt;
    return client_.areas.areas[index].title;
}

bool CMotionWindow::SetMotionTitle(int index, const std::string& title) {
    if (index < 0 || index >= kAreaCount || !IsSendableTitle(title))
        return false;
    client_.areas.areas[index].title = title;
    if (frames_[index + 1])
        frames_[index + 1]->SetTitle(QString::fromStdString(title));
    return true;
}

void CMotionWindow::OnOk() {
    const auto result = client_.SaveView([this] { return EditedFrameToCamera(0); });
    lastSaveConfirmed_ = result == SaveResult::Confirmed;
    if (result == SaveResult::Confirmed) {
        PlaceFramesFromModel(true); // the view frame shows the rounded values it stored
        ShowNotice(kMsgSaved);
    } else if (result == SaveResult::Unconfirmed) {
        ShowMessage(kMsgNotSaved);
    }
}

void CMotionWindow::OnCancel() {
    snapshot_ = QImage();
    Pause(timings_.cancelWait);
    if (ReadConfiguration())
        StartShowing();
}

void CMotionWindow::OnTimer(int area) {
    if (frames_[area + 1])
        client_.areas.areas[area].indicator = MotionEngine::Instance().MotionLevel(area);
}

void CMotionWindow::OnStreamEnded(int code) {
    emit streamEnded(code);
    if (code != 310)
        return; // the picture simply stops
    ReleaseCamera();
    picture_->hide();
    ok_->hide();
    cancel_->hide();
    ShowMessage(kMsgCannotConnect);
}

void CMotionWindow::ShowNotice(int id) {
    ShowMessage(id);
    noticeTimer_->start(kNoticeMs);
}

void CMotionWindow::ShowMessage(int id) {
    noticeTimer_->stop();
    const QString text = QString::fromUtf8(motion::MessageText(id).data(),
                                           static_cast<int>(motion::MessageText(id).size()));
    // The line keeps its place and size; a text longer than the 28-pixel line holds is set
    // smaller (wrapping onto a second line if need be) rather than cut off.
    QFont f = message_->font();
    for (int px = kMessagePixels; px >= kMessageMinPixels; --px) {
        f.setPixelSize(px);
        const QRect needed = QFontMetrics(f).boundingRect(QRect(QPoint(0, 0), message_->size()),
                                                          Qt::TextWordWrap, text);
        if (needed.width() <= message_->width() && needed.height() <= message_->height())
            break;
    }
    message_->setFont(f);
    message_->setText(text);
    message_->show();
    message_->raise();
}

QString CMotionWindow::MessageText() const {
    return message_->isVisible() ? message_->text() : QString();
}

std::optional<Credentials> CMotionWindow::AskCredentials() {
    if (host_)
        return host_->AuthAnswer();
    return RunAuthDialog(this);
}

bool CMotionWindow::TimerActive(int area) const {
    return area >= 0 && area < kAreaCount && timers_[area]->isActive();
}

int CMotionWindow::TimerInterval(int area) const {
    return area >= 0 && area < kAreaCount ? timers_[area]->interval() : 0;
}

void CMotionWindow::Pause(int ms) {
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

bool CMotionWindow::event(QEvent* e) {
    platform::AcquirePostedEvents();
    if (e->type() == MotionEngine::StreamEndedEventType()) {
        OnStreamEnded(MotionEngine::EventCode(e));
        return true;
    }
    if (e->type() == MotionEngine::PictureEventType()) {
        update();
        emit pictureArrived();
        return true;
    }
    return QWidget::event(e);
}

void CMotionWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const QRect picture(0, 0, kPictureWidth, kPictureHeight);
    MotionEngine& engine = MotionEngine::Instance();
    const QImage mpeg4 = engine.LastMpeg4Picture();
    if (mpeg4.isNull())
        p.fillRect(picture, Qt::black);
    else
        p.drawImage(picture, mpeg4);
    if (client_.IsViewMode() && !snapshot_.isNull()) {
        // From the first (width - 1) x (height - 1) pixels, stretched onto the picture.
        p.drawImage(picture, snapshot_, QRect(0, 0, snapshot_.width() - 1, snapshot_.height() - 1));
    } else if (IsJpeg() && engine.sessionActive) {
        const QImage jpeg = engine.LastJpegPicture();
        if (!jpeg.isNull()) {
            const int s = engine.JpegScalePercent();
            p.drawImage(QRect(0, 0, jpeg.width() * s / 100, jpeg.height() * s / 100), jpeg);
        }
    }
}

void CMotionWindow::keyPressEvent(QKeyEvent* e) {
    // The buttons lie below the window's edge: Enter and Escape reach them.
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        OnOk();
        return;
    case Qt::Key_Escape:
        OnCancel();
        return;
    default:
        QWidget::keyPressEvent(e);
    }
}

} // namespace kestrova::motion

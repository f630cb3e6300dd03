#include "motion/motion_engine.h"

#include "platform/posted_event.h"
#include "stream/asf_session.h"
#include "stream/jpeg_display.h"
#include "stream/mjpeg_session.h"
#include "stream/mpeg4_display.h"
#include "stream/stream_profile.h"

#include <QCoreApplication>
#include <QEvent>

namespace kestrova::motion {

namespace {
class EngineEvent : public QEvent {
public:
    EngineEvent(int type, int code) : QEvent(static_cast<QEvent::Type>(type)), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};
} // namespace

int MotionEngine::StreamEndedEventType() {
    static const int type = QEvent::registerEventType();
    return type;
}

int MotionEngine::PictureEventType() {
    static const int type = QEvent::registerEventType();
    return type;
}

int MotionEngine::EventCode(const QEvent* event) {
    return static_cast<const EngineEvent*>(event)->Code();
}

MotionEngine& MotionEngine::Instance() {
    static MotionEngine engine;
    return engine;
}

MotionEngine::MotionEngine() {
    const auto profile = stream::StreamProfile::Motion();
    mpeg4Display_ = std::make_unique<stream::CMpeg4Display>(*this, profile);
    jpegDisplay_ = std::make_unique<stream::CJpegDisplay>(*this, profile);
    asf_ = std::make_unique<stream::CAsfSession>(*this, profile);
    mjpeg_ = std::make_unique<stream::CMJpegSession>(*this, profile);
    asf_->SetMotionLevelsCallback([this](const std::array<uint8_t, 4>& l) {
        // One store, so a timer tick never sees half of an update.
        levels_.store(uint32_t{l[0]} | uint32_t{l[1]} << 8 | uint32_t{l[2]} << 16 |
                      uint32_t{l[3]} << 24);
    });
    auto ended = [this](int code) { Post(StreamEndedEventType(), code); };
    for (stream::CStreamThread* t : std::initializer_list<stream::CStreamThread*>{
             mpeg4Display_.get(), jpegDisplay_.get(), asf_.get(), mjpeg_.get()})
        t->SetEndCallback(ended);
    asf_->SetDisplay(mpeg4Display_.get());
    mjpeg_->SetDisplay(jpegDisplay_.get());
}

MotionEngine::~MotionEngine() {
    SetNotificationTarget(nullptr);
    asf_->StopThread(timings_.sessionStop);
    mjpeg_->StopThread(timings_.sessionStop);
    // Threads that outlived the timed stops still draw into this engine: wait for them.
    for (stream::CStreamThread* t : std::initializer_list<stream::CStreamThread*>{
             asf_.get(), mjpeg_.get(), mpeg4Display_.get(), jpegDisplay_.get()})
        t->StopAndJoin();
}

void MotionEngine::SetNotificationTarget(QObject* target) {
    std::lock_guard lock(targetMutex_);
    target_ = target;
}

void MotionEngine::ClearNotificationTarget(QObject* target) {
    std::lock_guard lock(targetMutex_);
    if (target_ == target)
        target_ = nullptr;
}

void MotionEngine::SetTimings(const stream::EngineTimings& timings) {
    timings_ = timings;
    asf_->SetTimings(timings);
    mjpeg_->SetTimings(timings);
    mpeg4Display_->SetTimings(timings);
    jpegDisplay_->SetTimings(timings);
}

bool MotionEngine::Start(bool jpeg, const std::string& url, const std::string& user,
                         const std::string& password, int scalePercent) {
    stream::CStreamSession& session = jpeg ? static_cast<stream::CStreamSession&>(*mjpeg_) : *asf_;
    if (!session.IsFinished())
        return false;
    jpegActive_ = jpeg;
    jpegScale_ = scalePercent;
    session.SetTarget(url, user, password);
    return session.Start();
}

bool MotionEngine::SessionFinished(bool jpeg) const {
    return jpeg ? mjpeg_->IsFinished() : asf_->IsFinished();
}

bool MotionEngine::Stop(bool jpeg, uint32_t timeoutMs) {
    stream::CStreamSession& session = jpeg ? static_cast<stream::CStreamSession&>(*mjpeg_) : *asf_;
    if (session.IsFinished())
        return true;
    return session.StopThread(timeoutMs);
}

uint8_t MotionEngine::MotionLevel(int area) const {
    if (area < 0 || area > 3)
        return 0;
    return static_cast<uint8_t>(levels_.load() >> (8 * area));
}

void MotionEngine::SetMotionLevelsForTest(const std::array<uint8_t, 4>& l) {
    levels_.store(uint32_t{l[0]} | uint32_t{l[1]} << 8 | uint32_t{l[2]} << 16 |
                  uint32_t{l[3]} << 24);
}

QImage MotionEngine::LastMpeg4Picture() const {
    std::lock_guard lock(pictureMutex_);
    return mpeg4Picture_;
}

QImage MotionEngine::LastJpegPicture() const {
    std::lock_guard lock(pictureMutex_);
    return jpegPicture_;
}

void MotionEngine::ForgetPictures() {
    std::lock_guard lock(pictureMutex_);
    mpeg4Picture_ = QImage();
    jpegPicture_ = QImage();
}

void MotionEngine::Post(int type, int code) {
    std::lock_guard lock(targetMutex_);
    if (target_)
        platform::PostEvent(target_, new EngineEvent(type, code));
}

void MotionEngine::PostStreamMessage(uint32_t message, uintptr_t wParam, intptr_t) {
    // The motion profile posts nothing but the end report.
    if (message == stream::WM_STREAM_ENDED)
        Post(StreamEndedEventType(), static_cast<int>(wParam));
}

void MotionEngine::StreamDiagnostic(int code, const std::string& text) {
    std::lock_guard lock(pictureMutex_);
    engineText_ = code == 0 ? text : "the stream ended (" + std::to_string(code) + "): " + text;
}

std::string MotionEngine::LastEngineText() const {
    std::lock_guard lock(pictureMutex_);
    return engineText_;
}

void MotionEngine::DrawPicture(const stream::VideoPicture& picture) {
    if (picture.width <= 0 || picture.height <= 0 || picture.stride < picture.width * 3 ||
        picture.bgr.size() < static_cast<std::size_t>(picture.stride) * picture.height)
        return;
    // Bottom-up BGR rows into a top-down image.
    QImage image(picture.width, picture.height, QImage::Format_RGB888);
    for (int y = 0; y < picture.height; ++y) {
        const uint8_t* src =
            picture.bgr.data() + std::size_t(picture.height - 1 - y) * picture.stride;
        uint8_t* dst = image.scanLine(y);
        for (int x = 0; x < picture.width; ++x) {
            dst[3 * x] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x];
        }
    }
    {
        std::lock_guard lock(pictureMutex_);
        (jpegActive_ ? jpegPicture_ : mpeg4Picture_) = std::move(image);
    }
    ++pictures_;
    Post(PictureEventType(), 0);
}

} // namespace kestrova::motion

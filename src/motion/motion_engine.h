#pragma once

#include "stream/engine_timings.h"
#include "stream/stream_window.h"

#include <QImage>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class QObject;
class QEvent;

namespace kestrova::stream {
class CAsfSession;
class CMJpegSession;
class CJpegDisplay;
class CMpeg4Display;
} // namespace kestrova::stream

namespace kestrova::motion {

// The motion control's stream engine: one Motion-JPEG session, one ASF session, their two
// display paths and one video queue, shared by every control in the process (video only).
// Engine threads reach the window that was initialised last only through posted events.
class MotionEngine final : public stream::StreamWindow {
public:
    // Posted to the notification window: a stream thread ended with a non-zero code
    // (StreamEndedEvent), or a new picture is ready to paint.
    static int StreamEndedEventType();
    static int PictureEventType();
    // The result code carried by a StreamEndedEvent.
    static int EventCode(const QEvent* event);

    static MotionEngine& Instance();
    ~MotionEngine() override;

    // The window that receives the engine's events (nullptr: nobody).
    void SetNotificationTarget(QObject* target);
    void ClearNotificationTarget(QObject* target); // only if it is still `target`

    void SetTimings(const stream::EngineTimings& timings);
    const stream::EngineTimings& Timings() const { return timings_; }

    // Starts the session of the frame type ("jpeg": Motion-JPEG, anything else ASF) on `url`.
    // False without starting when that session still runs.
    bool Start(bool jpeg, const std::string& url, const std::string& user,
               const std::string& password, int scalePercent);
    bool SessionFinished(bool jpeg) const;
    // Stops the session of the frame type when it has not finished; true once finished.
    bool Stop(bool jpeg, uint32_t timeoutMs);

    // The four area levels from the ASF stream's packet padding (kept across streams).
    uint8_t MotionLevel(int area) const;
    void SetMotionLevelsForTest(const std::array<uint8_t, 4>& levels);

    // The last picture of the MPEG-4 path (null before the first), and of the Motion-JPEG
    // path with the scale it is drawn at.
    QImage LastMpeg4Picture() const;
    QImage LastJpegPicture() const;
    int JpegScalePercent() const { return jpegScale_.load(); }
    void ForgetPictures();
    uint64_t PicturesDrawn() const { return pictures_.load(); }

    // Set once a picture has been started, cleared by a save of areas and by the release;
    // a new SetSource is refused while it is set. Shared by every control in the process.
    std::atomic<bool> sessionActive{false};

    // StreamWindow: the engine's threads call these.
    void PostStreamMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    void DrawPicture(const stream::VideoPicture& picture) override;
    void StreamDiagnostic(int code, const std::string& text) override;
    // The engine's last words: why a stream ended, or a notice (code 0). Empty: none.
    std::string LastEngineText() const;

private:
    MotionEngine();
    void Post(int type, int code);

    mutable std::mutex targetMutex_;
    QObject* target_ = nullptr;

    std::unique_ptr<stream::CMpeg4Display> mpeg4Display_;
    std::unique_ptr<stream::CJpegDisplay> jpegDisplay_;
    std::unique_ptr<stream::CAsfSession> asf_;
    std::unique_ptr<stream::CMJpegSession> mjpeg_;
    stream::EngineTimings timings_;

    std::atomic<uint32_t> levels_{0}; // one byte per area, area 1 lowest
    std::atomic<bool> jpegActive_{false};
    std::atomic<int> jpegScale_{100};
    std::atomic<uint64_t> pictures_{0};
    mutable std::mutex pictureMutex_;
    QImage mpeg4Picture_;
    QImage jpegPicture_;
    std::string engineText_; // guarded by pictureMutex_
};

} // namespace kestrova::motion

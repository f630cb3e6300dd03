#pragma once

#include "net/http_poster.h"
#include "stream/engine_timings.h"
#include "stream/stream_window.h"
#include "viewer/camera_request.h"
#include "viewer/frame_composer.h"
#include "viewer/path_view.h"
#include "viewer/view_math.h"

#include <QCursor>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QLabel;

namespace kestrova::audio {
class CAudioPlayer;
class SoundDevice;
} // namespace kestrova::audio

namespace kestrova::stream {
class CAsfSession;
class CMJpegSession;
class CJpegDisplay;
class CMpeg4Display;
} // namespace kestrova::stream

namespace kestrova::viewer {

class DialogHost;

// The viewer's central window: URLs, credentials, view state and the engine objects (two
// sessions, two display paths, the audio object and the two queues) all belong to it. The
// engine reports through posted events; drawing is composed on the display thread and
// painted here.
class CVideoWindow : public QWidget, public stream::StreamWindow {
    Q_OBJECT
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;
    static constexpr int kStatusTextId = 218;
    static constexpr int kSilentLevel = -10000;

    explicit CVideoWindow(QWidget* parent = nullptr);
    ~CVideoWindow() override;

    // Automation, forwarded by the control.
    bool SetSource(const std::string& url, const std::string& frameType, const std::string& panTilt,
                   const std::string& frameRate, const std::string& base64string);
    void StartPlay(long record, const std::string& recordFilename);
    void StopPlay();
    void SetZoomPercent(long percent);
    void SetPlayAudio();
    void StopPlayAudio();
    void SnapShot();
    void SetViewSize(long width, long height);
    void VideoFlip();
    void VideoMirror();
    void VideoZoom();
    void AudioVolume(long value);
    void DirectPT(long value);
    void RestoreVideo();

    // Engine side (any thread).
    void PostStreamMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    void DrawPicture(const stream::VideoPicture& picture) override;
    // The composer converts MPEG-4 planes straight into the display surface.
    bool TakesPlanarPictures() const override { return true; }
    void StreamDiagnostic(int code, const std::string& text) override;

    // Set-up by hosts and tests, before the first play.
    void SetDialogHost(DialogHost* host) { host_ = host; }
    DialogHost* Host() const { return host_; }
    void SetTimings(const stream::EngineTimings& timings);
    void SetHttpOptions(const net::CHttpPoster::Options& options);
    // The sound output of later plays. By default the sound card (Qt Multimedia) when
    // one opens, else the clocked null device, which plays nothing.
    void SetSoundDevice(std::shared_ptr<audio::SoundDevice> device);
    // Told (from a session's thread) each time a play finds no sound card to open and
    // goes on without sound.
    void SetSoundNotice(std::function<void(const std::string& text)> notice);
    // Snapshot waits: `steps` looks `step` apart (49 x 100 ms for users).
    void SetSnapshotWait(int steps, std::chrono::milliseconds step);
    void SetSnapshotFolder(const std::string& folder) { snapshotFolder_ = folder; }

    // State, for the host's report and for tests.
    bool SourceReady() const { return sourceReady_; }
    bool StartOnCreate() const { return startOnCreate_; }
    const std::string& FrameType() const { return frameType_; }
    const std::string& PanTiltRights() const { return panTiltRights_; }
    const std::string& IoRights() const { return ioRights_; }
    const std::string& VoiceOut() const { return voiceOut_; }
    const std::string& User() const { return user_; }
    const std::string& Password() const { return password_; }
    const std::string& SnapshotFolder() const { return snapshotFolder_; }
    std::string AsfUrl() const { return base_ + "img/video.asf"; }
    std::string MJpegUrl() const { return base_ + "img/mjpeg.cgi"; }
    std::string PanTiltUrl() const { return base_ + "pt/ptctrl.cgi"; }
    std::string QueryUrl() const { return base_ + "util/query.cgi"; }
    std::string LoginUrl() const { return base_ + "img/query.cgi"; }
    std::string PresetsUrl() const { return base_ + "adm/file.cgi?next_file=presets.htm"; }
    int AudioLevel() const { return audioLevel_; }
    int MirrorModeValue() const { return mirrorMode_; }
    bool ZoomArmed() const { return zoomArmed_; }
    bool ZoomApplied() const { return zoomApplied_; }
    Rect ZoomViewWindow() const { return zoomWindow_; }
    Point ZoomOrigin() const { return zoomOrigin_; }
    bool PanTiltMode() const { return panTiltMode_; }
    bool HasZoomCursor() const { return zoomCursor_.has_value(); }
    bool HasPanTiltCursor() const { return panTiltCursor_.has_value(); }
    bool IsPlaying() const; // the active session's thread runs
    PathView& ActiveView();
    PathView& MJpegView() { return jpegView_; }
    PathView& Mpeg4View() { return mpeg4View_; }
    const FrameComposer& Composer() const { return composer_; }
    QLabel* StatusText() const { return status_; }
    audio::CAudioPlayer& AudioPlayer() { return *audio_; }
    stream::CAsfSession& AsfSession() { return *asf_; }
    stream::CMJpegSession& MJpegSession() { return *mjpeg_; }
    stream::CMpeg4Display& Mpeg4Display() { return *mpeg4Display_; }
    stream::CJpegDisplay& JpegDisplay() { return *jpegDisplay_; }
    std::vector<int> EndedCodes() const;
    // The engine's last text with its code (0: a notice while the play went on).
    std::pair<int, std::string> LastEngineText() const;
    uint64_t FramesDrawn() const { return composer_.FramesComposed(); }
    // Pictures drawn from the MPEG-4 path (true) or the Motion-JPEG path (false).
    uint64_t PicturesDrawn(bool mpeg) const {
        return mpeg ? drawnMpeg4_.load() : drawnJpeg_.load();
    }
    int StreamWidth() const;
    int StreamHeight() const;
    // The last snapshot file name offered (empty before the first dialog).
    const std::string& LastDefaultName() const { return lastDefaultName_; }
    // The last pan/tilt request sent, for the host's report.
    const std::string& LastPanTiltRequest() const { return lastPanTilt_; }

signals:
    void streamEnded(int code);
    void videoReady();
    void pictureDrawn();
    // The engine said why a play ended (`code` as in streamEnded, emitted just before it)
    // or told something while the play goes on (`code` 0).
    void engineText(int code, const QString& text);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool IsMpeg() const { return frameType_ == "mpeg"; }
    // The window is shown for the first time: the start-on-create play.
    void OnCreated();
    void OnStreamEnded(int code);
    int OnVideoReady();
    void OnAudioReady();
    void ZoomClick(int x, int y);
    bool PanTiltClick(int x, int y);
    void UpdateCursor();
    void HandTargets();

    DialogHost* host_ = nullptr;
    QLabel* status_ = nullptr;

    // Engine objects, created with the window and living as long as it.
    std::unique_ptr<stream::CMpeg4Display> mpeg4Display_;
    std::unique_ptr<stream::CJpegDisplay> jpegDisplay_;
    std::unique_ptr<audio::CAudioPlayer> audio_;
    std::unique_ptr<stream::CAsfSession> asf_;
    std::unique_ptr<stream::CMJpegSession> mjpeg_;
    stream::EngineTimings timings_;
    CameraRequest request_;

    std::string frameType_;
    std::string panTiltRights_;
    std::string ioRights_ = "off";
    std::string voiceOut_;
    std::string frameRate_;
    std::string base_;
    std::string user_;
    std::string password_;
    std::string snapshotFolder_;
    std::string recordFile_;
    bool restartAllowed_ = false;
    bool sourceReady_ = false;
    bool startOnCreate_ = false; // set by a successful SetSource, read when the window is created
    bool created_ = false;       // shown once: SetSource before this plays at creation
    int audioLevel_ = kSilentLevel;
    std::mutex soundNoticeMutex_;
    std::function<void(const std::string&)> soundNotice_;

    // View state of the window; the per-path copies live in the two PathViews.
    PathView mpeg4View_;
    PathView jpegView_;
    std::atomic<PathView*> drawView_{&jpegView_}; // the path of the running play
    bool flip_ = false;
    bool mirror_ = false;
    int mirrorMode_ = 0;
    bool zoomArmed_ = false;
    bool zoomApplied_ = false;
    Rect zoomWindow_{-1, -1, -1, -1};
    Point zoomOrigin_;
    bool panTiltMode_ = false;
    std::optional<QCursor> zoomCursor_;
    std::optional<QCursor> panTiltCursor_;

    int snapshotSteps_ = 49;
    std::chrono::milliseconds snapshotStep_{100};
    std::string lastDefaultName_;
    std::string lastPanTilt_;

    FrameComposer composer_;
    std::atomic<bool> updatePending_{false};
    std::atomic<uint64_t> drawnMpeg4_{0};
    std::atomic<uint64_t> drawnJpeg_{0};
    mutable std::mutex codesMutex_;
    std::vector<int> endedCodes_;
    std::pair<int, std::string> engineText_; // guarded by codesMutex_
};

} // namespace kestrova::viewer

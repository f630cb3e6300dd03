#pragma once

#include "motion/config_client.h"
#include "motion/motion_host.h"
#include "motion/motion_model.h"

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <string>

class QLabel;
class QPushButton;

namespace kestrova::motion {

class CAreaFrame;

// The window that fills the motion control and holds its whole state: the area set and
// view, the five frames, URLs, credentials, mode, the indicator timers and the message
// line. The engine it starts is the process-wide one (MotionEngine).
class CMotionWindow : public QWidget, private ConfigHost {
    Q_OBJECT
public:
    static constexpr int kWidth = 528;
    static constexpr int kHeight = 396;
    static constexpr int kMessageId = 244;
    static constexpr int kPictureId = 210;
    static constexpr int kFrameCount = 5; // view frame, then areas 1 to 4

    explicit CMotionWindow(QWidget* parent = nullptr,
                           std::unique_ptr<ConfigTransport> transport = nullptr);
    ~CMotionWindow() override;

    void SetDialogHost(MotionDialogHost* host) { host_ = host; }
    void SetTimings(const MotionTimings& timings) { timings_ = timings; }

    // The window's life: created with the control, destroyed by StopPlay.
    void CreateWindow();
    void DestroyWindow();
    bool WindowExists() const { return created_; }

    // Automation (forwarded by the control).
    bool SetSource(const std::string& url, const std::string& frameType, int mode,
                   const std::string& auth);
    void StopPlay();
    long GetMotionIndicator(int index) const;
    long GetMotionThrehold(int index) const;
    void SetMotionThrehold(int index, int value);
    void MotionApply();
    void MotionEnable(int index, int value);
    long GetMotionEnable(int index) const;
    std::optional<std::string> GetMotionTitle(int index) const;
    // False when the title was refused (line breaks, or longer than 4096 characters).
    bool SetMotionTitle(int index, const std::string& title);

    // Protocol steps and frames.
    bool ReadConfiguration();
    void StartShowing();
    void ReleaseCamera();
    void ShowFrame(int index, int enable, int x1, int y1, int x2, int y2);
    std::optional<Rect> FrameToCamera(int index) const;
    void OnOk();
    void OnCancel();

    // State for hosts and tests.
    const AreaSet& Areas() const { return client_.areas; }
    const ViewArea& View() const { return client_.view; }
    const Credentials& CurrentCredentials() const { return client_.credentials; }
    CAreaFrame* Frame(int index) const;
    QLabel* MessageLine() const { return message_; }
    QString MessageText() const;
    // The last save (Apply or the view's OK) was answered "MOT: OK".
    bool LastSaveConfirmed() const { return lastSaveConfirmed_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QWidget* PictureControl() const { return picture_; }
    const QImage& Snapshot() const { return snapshot_; }
    bool TimerActive(int area) const;
    int TimerInterval(int area) const;
    int StreamScale() const { return scale_; }
    bool IsJpeg() const { return frameType_ == "jpeg"; }
    std::string MJpegUrl() const { return base_ + "/img/mjpeg.cgi"; }
    std::string AsfUrl() const { return base_ + "/img/video.asf"; }

signals:
    void streamEnded(int code);
    void pictureArrived();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ShowMessage(int id) override;
    // A message that goes away by itself after a few seconds (a save's outcome).
    void ShowNotice(int id);
    std::optional<Credentials> AskCredentials() override;
    void Initialise();
    void ShowConfiguration();
    // Places the existing frames where the model's rectangles say (after a read or a save).
    void PlaceFramesFromModel(bool enabledOnly);
    // The camera rectangle of a frame the user moved or sized; nothing for an untouched one.
    std::optional<Rect> EditedFrameToCamera(int index) const;
    void OnStreamEnded(int code);
    void OnTimer(int area);
    static void Pause(int ms);

    std::unique_ptr<ConfigTransport> transport_;
    std::unique_ptr<ConfigTransport> waitingTransport_; // transport_ under the wait cursor
    MotionConfigClient client_;
    MotionDialogHost* host_ = nullptr;
    MotionTimings timings_;
    std::array<QPointer<CAreaFrame>, kFrameCount> frames_;
    std::array<QTimer*, kAreaCount> timers_{};
    QLabel* message_ = nullptr;
    QTimer* noticeTimer_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QWidget* picture_ = nullptr;
    QImage snapshot_;

    std::string base_;
    std::string frameType_;
    int scale_ = 100;
    bool sourceSet_ = false;
    bool lastSaveConfirmed_ = false;
    bool created_ = false;
};

} // namespace kestrova::motion

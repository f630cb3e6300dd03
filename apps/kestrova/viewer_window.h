#pragma once

#include "camera_address.h"
#include "status_model.h"
#include "view_settings.h"
#include "window_answers.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <map>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QSlider;

namespace kestrova::hosting {
class HostedControl;
}
namespace kestrova::viewer {
class PlayerHostInterface;
}

namespace kestrova::app {

class PictureStage;
struct OpenRequest;

// The viewer's main window: the control on a black stage that scales the picture with the
// window, a tool bar whose buttons call the control's automation methods (each with a
// shortcut named in its tooltip; toggles show their state), and a status bar saying what
// the camera is doing. Full screen on F11 or a double-click; Escape leaves it.
class ViewerWindow : public QMainWindow {
    Q_OBJECT
public:
    ViewerWindow(hosting::HostedControl& control, QWidget* parent = nullptr);
    ~ViewerWindow() override;

    // Opens a camera: SetSource (the login prompt names the camera), then StartPlay. The
    // outcome shows in the window; false when the control did not accept the camera.
    bool Open(const CameraAddress& address, const std::string& user, const std::string& password,
              const std::string& kind);
    // A play someone else starts on the control (the command line's run): `start` runs
    // it, `url` then names the camera it plays (`address` may be unknown before).
    void Attach(const std::optional<CameraAddress>& address, const std::function<bool()>& start,
                const std::function<std::string()>& url);
    // Shows a sentence over the picture and in the status bar (a bad address, say).
    void ShowProblem(const QString& text);
    // Ctrl+O: the open dialog; its answer is opened.
    void ShowOpenDialog();

    // Replaces the open dialog (tests): returns the request, or nothing for Cancel.
    void SetOpenAsker(std::function<std::optional<OpenRequest>()> asker);
    // Called for "Add to wall" in the open dialog (empty: Add opens in this window).
    std::function<void(const OpenRequest&)> onAdd;

    WindowAnswers& Answers() { return answers_; }
    PictureStage& Stage() { return *stage_; }
    const StatusModel& Model() const { return model_; }
    QString StatusText() const;
    QAction* Action(const QString& name) const;
    const std::string& RecordingPath() const { return recordPath_; }
    // Where recordings go (default: the user's videos folder).
    void SetRecordFolder(const QString& folder) { recordFolder_ = folder; }
    // Samples the control now instead of at the next tick (tests).
    void Poll();
    // As one tile of a wall: no tool bar and no shortcuts of its own (the wall's buttons
    // trigger this window's actions), a click selects and a double-click enlarges.
    void SetTileMode();

signals:
    void clicked();
    void doubleClicked();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* AddAction(const QString& name, const QString& text, const QKeySequence& key,
                       const QString& tip, bool checkable, std::function<void(bool)> run);
    QVariant Call(const char* method, const QVariantList& args = {});
    void Begin(const CameraAddress& address);
    void PlayOrStop();
    void TakeSnapshot();
    void ToggleRecord(bool on);
    void ToggleFullScreen();
    void SetSound(bool on);
    void ApplyViewSettings();
    void Refresh();
    void FindReason();
    void SizeToPicture();

    hosting::HostedControl& control_;
    viewer::PlayerHostInterface& player_;
    WindowAnswers answers_;
    StatusModel model_;
    PictureStage* stage_;
    QLabel* status_;
    QLabel* recording_;
    QSlider* volume_;
    std::map<QString, QAction*> actions_;
    QTimer poll_;
    QElapsedTimer clock_;
    ViewSettings settings_;
    std::optional<CameraAddress> camera_;
    std::string user_, password_, kind_;
    std::string recordPath_;
    QString recordFolder_;
    QDateTime recordStart_;
    std::size_t recordCodes_ = 0; // ended plays when the recording started
    QString note_;                // a one-off confirmation (snapshot saved) shown in the status bar
    QDateTime noteUntil_;
    bool sizedToPicture_ = false;
    bool probing_ = false;
    bool tile_ = false;
    std::function<std::optional<OpenRequest>()> openAsker_;
};

} // namespace kestrova::app

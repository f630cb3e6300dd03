#include "viewer_window.h"

#include "hosting/hosted_control.h"
#include "open_dialog.h"
#include "picture_stage.h"
#include "recent_cameras.h"
#include "viewer/player_host_interface.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QSlider>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTcpSocket>
#include <QToolBar>
#include <QToolButton>

namespace kestrova::app {

namespace {

std::string Credentials(const std::string& user, const std::string& password) {
    return "Basic " + QByteArray::fromStdString(user + ":" + password).toBase64().toStdString();
}

QString Stamp() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

} // namespace

ViewerWindow::ViewerWindow(hosting::HostedControl& control, QWidget* parent)
    : QMainWindow(parent), control_(control), player_(*control.As<viewer::PlayerHostInterface>()),
      answers_(this) {
    setObjectName(QStringLiteral("ViewerWindow"));
    setWindowTitle(QStringLiteral("Kestrova"));
    settings_ = LoadViewSettings();
    recordFolder_ = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    answers_.onMessage = [this](int id) {
        model_.Message(id);
        if (id == 1007)
            FindReason();
        Refresh();
    };
    player_.SetDialogHost(&answers_);

    stage_ = new PictureStage(control.Widget(), [this](int w, int h) {
        Call("SetViewSize", {w, h});
    });
    stage_->setFocusPolicy(Qt::StrongFocus);
    setCentralWidget(stage_);
    connect(stage_, &PictureStage::doubleClicked, this, [this] {
        if (!Action("zoom")->isChecked() && !Action("pantilt")->isChecked())
            ToggleFullScreen();
    });
    stage_->installEventFilter(this);
    // A double-click on the picture reaches the stage through the control's windows.
    control.Widget()->installEventFilter(this);
    if (auto* w = control.Widget()->findChild<QWidget*>(QStringLiteral("VideoWindow")))
        w->installEventFilter(this);

    auto* bar = addToolBar(QStringLiteral("Camera"));
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto add = [&](const QString& name, const QString& text, const QKeySequence& key,
                   const QString& tip, bool checkable, std::function<void(bool)> run) {
        QAction* a = AddAction(name, text, key, tip, checkable, std::move(run));
        bar->addAction(a);
        return a;
    };
    add("open", "Open\u2026", QKeySequence::Open, "Open a camera", false,
        [this](bool) { ShowOpenDialog(); });
    add("play", "Play", Qt::Key_Space, "Play or stop the camera", true,
        [this](bool) { PlayOrStop(); });
    add("snapshot", "Snapshot", Qt::Key_S, "Save the picture as a file", false,
        [this](bool) { TakeSnapshot(); });
    add("record", "Record", Qt::Key_R, "Record the stream to a file (MPEG-4)", true,
        [this](bool on) { ToggleRecord(on); });
    bar->addSeparator();
    add("zoom", "Zoom 2X", Qt::Key_Z, "Zoom: click the part of the picture to enlarge", true,
        [this](bool) { Call("VideoZoom"); });
    add("flip", "Flip", Qt::Key_F, "Turn the picture upside down", true, [this](bool on) {
        Call("VideoFlip");
        settings_.flip = on;
    });
    add("mirror", "Mirror", Qt::Key_M, "Mirror the picture left to right", true, [this](bool on) {
        Call("VideoMirror");
        settings_.mirror = on;
    });
    add("restore", "Restore", Qt::Key_Backspace, "Undo zoom, flip and mirror", false, [this](bool) {
        Call("RestoreVideo");
        for (const char* n : {"zoom", "flip", "mirror"})
            Action(n)->setChecked(false);
        settings_.flip = settings_.mirror = false;
    });
    add("pantilt", "Pan/tilt", Qt::Key_P, "Click the picture to turn the camera there", true,
        [this](bool on) { Call("DirectPT", {on ? 1 : 0}); });
    bar->addSeparator();
    add("sound", "Sound", Qt::Key_U, "Sound on or off", true, [this](bool on) { SetSound(on); });
    volume_ = new QSlider(Qt::Horizontal, this);
    volume_->setObjectName(QStringLiteral("Volume"));
    volume_->setRange(0, 9);
    volume_->setMaximumWidth(100);
    volume_->setFocusPolicy(Qt::NoFocus);
    volume_->setToolTip(QStringLiteral("Volume"));
    volume_->setValue(settings_.volume);
    connect(volume_, &QSlider::valueChanged, this, [this](int v) {
        settings_.volume = v;
        Call("AudioVolume", {v});
    });
    bar->addWidget(volume_);
    bar->addSeparator();
    add("fullscreen", "Full screen", Qt::Key_F11, "Full screen (Escape leaves it)", true,
        [this](bool) { ToggleFullScreen(); });
    AddAction("leave", "Leave full screen", Qt::Key_Escape, {}, false, [this](bool) {
        if (isFullScreen())
            ToggleFullScreen();
    });
    AddAction("quit", "Quit", QKeySequence(Qt::CTRL | Qt::Key_Q), {}, false,
              [this](bool) { close(); });
    for (QToolButton* b : bar->findChildren<QToolButton*>())
        b->setFocusPolicy(Qt::NoFocus);
    Action("sound")->setChecked(settings_.sound);
    Action("flip")->setChecked(settings_.flip);
    Action("mirror")->setChecked(settings_.mirror);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("StatusText"));
    recording_ = new QLabel(this);
    recording_->setObjectName(QStringLiteral("RecordingText"));
    recording_->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold"));
    statusBar()->addWidget(status_, 1);
    statusBar()->addPermanentWidget(recording_);
    resize(640, 480 + 60);
    clock_.start();
    connect(&poll_, &QTimer::timeout, this, &ViewerWindow::Poll);
    poll_.start(250);
    Refresh();
    stage_->setFocus();
}

ViewerWindow::~ViewerWindow() {
    if (player_.CurrentDialogHost() == &answers_)
        player_.SetDialogHost(nullptr);
}

QAction* ViewerWindow::AddAction(const QString& name, const QString& text, const QKeySequence& key,
                                 const QString& tip, bool checkable,
                                 std::function<void(bool)> run) {
    auto* a = new QAction(text, this);
    a->setObjectName(name);
    a->setShortcut(key);
    a->setCheckable(checkable);
    if (!tip.isEmpty())
        a->setToolTip(QStringLiteral("%1 (%2)").arg(tip, key.toString(QKeySequence::NativeText)));
    connect(a, &QAction::triggered, this, [run = std::move(run)](bool on) { run(on); });
    addAction(a); // shortcuts work while the tool bar is hidden (full screen)
    actions_[name] = a;
    return a;
}

QAction* ViewerWindow::Action(const QString& name) const {
    const auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

QVariant ViewerWindow::Call(const char* method, const QVariantList& args) {
    return control_.Call(method, args);
}

void ViewerWindow::SetOpenAsker(std::function<std::optional<OpenRequest>()> asker) {
    openAsker_ = std::move(asker);
}

void ViewerWindow::Begin(const CameraAddress& address) {
    camera_ = address;
    setWindowTitle(
        QStringLiteral("Kestrova \u2014 %1").arg(QString::fromStdString(address.HostPort())));
    answers_.SetCamera(address.HostPort(), user_);
    model_.Begin(address.HostPort(), player_.Statistics(), clock_.elapsed());
    sizedToPicture_ = false;
    Refresh();
    stage_->repaint(); // SetSource may block for the login check
}

bool ViewerWindow::Open(const CameraAddress& address, const std::string& user,
                        const std::string& password, const std::string& kind) {
    if (player_.Statistics().playing)
        Call("StopPlay");
    if (!recordPath_.empty())
        ToggleRecord(false);
    user_ = user;
    password_ = password;
    kind_ = kind;
    Begin(address);
    const bool mpeg = kind != "jpeg";
    Call("SetSource", {QString::fromStdString(address.StreamUrl(mpeg)),
                       QString::fromLatin1(mpeg ? "mpeg" : "jpeg"), QStringLiteral("off"),
                       QString(), QString::fromStdString(Credentials(user, password))});
    if (const auto& login = answers_.LastLogin()) {
        user_ = login->user; // what the prompt accepted is what a retry offers
        password_ = login->password;
    }
    if (!player_.SourceReady()) {
        if (model_.State() == CameraState::Connecting)
            model_.Message(1007);
        Refresh();
        return false;
    }
    Call("AudioVolume", {settings_.volume});
    Call("StartPlay", {0, QString()});
    ApplyViewSettings();
    Refresh();
    return true;
}

void ViewerWindow::Attach(const std::optional<CameraAddress>& address,
                          const std::function<bool()>& start,
                          const std::function<std::string()>& url) {
    CameraAddress shown;
    shown.host = "built-in camera";
    Begin(address.value_or(shown));
    const bool ok = start();
    std::string error;
    if (auto played = ParseCameraAddress(url(), error)) {
        camera_ = *played;
        model_.SetHostPort(played->HostPort());
        setWindowTitle(
            QStringLiteral("Kestrova \u2014 %1").arg(QString::fromStdString(played->HostPort())));
    }
    if (!ok && model_.State() == CameraState::Connecting)
        model_.Message(1007);
    Refresh();
}

void ViewerWindow::ApplyViewSettings() {
    // The control keeps flip and mirror per stream path; after a new play starts they are
    // set afresh on the path it chose, from what the buttons show.
    Call("RestoreVideo");
    Action("zoom")->setChecked(false);
    if (settings_.flip)
        Call("VideoFlip");
    if (settings_.mirror)
        Call("VideoMirror");
}

void ViewerWindow::ShowProblem(const QString& text) {
    stage_->SetMessage(text, true);
    status_->setText(text);
}

void ViewerWindow::ShowOpenDialog() {
    std::optional<OpenRequest> request;
    if (openAsker_) {
        request = openAsker_();
    } else {
        OpenDialog dialog(RecentCameras::Load(), static_cast<bool>(onAdd), this);
        if (dialog.exec() == QDialog::Accepted)
            request = dialog.Request();
    }
    if (!request)
        return;
    RecentCameras::Remember(OpenDialog::ToRecent(*request));
    if (request->add && onAdd) {
        onAdd(*request);
        return;
    }
    Open(request->address, request->user, request->password, request->kind);
}

void ViewerWindow::PlayOrStop() {
    const CameraState s = model_.State();
    const bool running = player_.Statistics().playing;
    if (running && s != CameraState::Stopped) {
        if (!recordPath_.empty())
            ToggleRecord(false);
        Call("StopPlay");
        model_.Stopped();
    } else if (!camera_) {
        ShowOpenDialog();
    } else if (!player_.SourceReady() || s == CameraState::LoginRefused ||
               s == CameraState::CannotConnect || s == CameraState::Busy) {
        Open(*camera_, user_, password_, kind_);
    } else {
        Begin(*camera_);
        Call("StartPlay", {0, QString()});
    }
    Refresh();
}

void ViewerWindow::TakeSnapshot() {
    if (model_.State() != CameraState::Playing && model_.State() != CameraState::Stalled) {
        note_ = QStringLiteral("No picture to save yet.");
        noteUntil_ = QDateTime::currentDateTime().addSecs(5);
        Refresh();
        return;
    }
    answers_.ClearLastSaved();
    Call("SnapShot");
    const QString path = QString::fromStdString(answers_.LastSaved());
    if (!path.isEmpty()) {
        note_ = QFileInfo(path).size() > 0
                    ? QStringLiteral("Snapshot saved: %1").arg(path)
                    : QStringLiteral("The snapshot could not be saved to %1").arg(path);
        noteUntil_ = QDateTime::currentDateTime().addSecs(10);
    }
    Refresh();
}

void ViewerWindow::ToggleRecord(bool on) {
    QAction* a = Action("record");
    const QSignalBlocker block(a);
    if (on) {
        const viewer::PlayerStatistics s = player_.Statistics();
        if (model_.Kind() != "MPEG-4" || !s.playing) {
            a->setChecked(false);
            note_ = model_.Kind() == "Motion-JPEG"
                        ? QStringLiteral("Recording needs the camera's MPEG-4 stream.")
                        : QStringLiteral("Recording starts once the camera plays.");
            noteUntil_ = QDateTime::currentDateTime().addSecs(8);
            Refresh();
            return;
        }
        QDir().mkpath(recordFolder_);
        const QString path =
            recordFolder_ + QStringLiteral("/kestrova-") + Stamp() + QStringLiteral(".asf");
        // The control records only from the start of a play.
        Call("StopPlay");
        Begin(*camera_);
        Call("StartPlay", {1, path});
        recordPath_ = path.toStdString();
        recordStart_ = QDateTime::currentDateTime();
        recordCodes_ = player_.Statistics().endedCodes.size();
        a->setChecked(true);
    } else {
        const QString path = QString::fromStdString(recordPath_);
        recordPath_.clear();
        a->setChecked(false);
        if (path.isEmpty())
            return;
        if (player_.Statistics().playing) {
            Call("StopPlay");
            Begin(*camera_);
            Call("StartPlay", {0, QString()});
        }
        note_ = QStringLiteral("Recording saved: %1 (%2)")
                    .arg(path, QString::fromStdString(
                                   FormatSize(static_cast<uint64_t>(QFileInfo(path).size()))));
        noteUntil_ = QDateTime::currentDateTime().addSecs(10);
    }
    Refresh();
}

void ViewerWindow::SetSound(bool on) {
    settings_.sound = on;
    Call(on ? "SetPlayAudio" : "StopPlayAudio");
    Refresh();
}

void ViewerWindow::SetTileMode() {
    tile_ = true;
    // A wall of cameras all sounding at once helps nobody: tiles start silent and the
    // sound key turns on the selected camera's sound.
    settings_.sound = false;
    {
        const QSignalBlocker block(Action("sound"));
        Action("sound")->setChecked(false);
    }
    for (QToolBar* bar : findChildren<QToolBar*>())
        bar->hide();
    for (auto& [name, action] : actions_)
        action->setShortcut({});
    setMinimumSize(200, 150);
}

void ViewerWindow::ToggleFullScreen() {
    if (tile_) {
        emit doubleClicked();
        return;
    }
    const bool full = !isFullScreen();
    for (QToolBar* bar : findChildren<QToolBar*>())
        bar->setVisible(!full);
    statusBar()->setVisible(!full);
    if (full)
        showFullScreen();
    else
        showNormal();
    const QSignalBlocker block(Action("fullscreen"));
    Action("fullscreen")->setChecked(full);
}

bool ViewerWindow::eventFilter(QObject* watched, QEvent* event) {
    if (tile_ && event->type() == QEvent::MouseButtonPress)
        emit clicked(); // selecting a tile does not take the click from the control
    if (event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        !Action("zoom")->isChecked() && !Action("pantilt")->isChecked()) {
        ToggleFullScreen();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void ViewerWindow::Poll() {
    const viewer::PlayerStatistics s = player_.Statistics();
    model_.Sample(s, clock_.elapsed());
    if (!recordPath_.empty() && s.endedCodes.size() > recordCodes_) {
        // The control's automatic restart never resumes a recording.
        const QString path = QString::fromStdString(recordPath_);
        recordPath_.clear();
        const QSignalBlocker block(Action("record"));
        Action("record")->setChecked(false);
        note_ = QStringLiteral("Recording ended with the stream: %1").arg(path);
        noteUntil_ = QDateTime::currentDateTime().addSecs(15);
    }
    if (model_.State() == CameraState::Playing) {
        if (!settings_.sound)
            Call("StopPlayAudio"); // takes effect once the sound output has opened
        if (!sizedToPicture_ && model_.Width() > 0)
            SizeToPicture();
    }
    if (model_.State() == CameraState::CannotConnect)
        FindReason();
    Refresh();
}

void ViewerWindow::SizeToPicture() {
    sizedToPicture_ = true;
    stage_->SetPictureSize(model_.Width(), model_.Height());
    stage_->Refit(); // the play may have changed path: its view size is set again
    if (isFullScreen() || isMaximized())
        return;
    QSize want = size() + QSize(model_.Width(), model_.Height()) - stage_->size();
    // Never narrower than the buttons: a small picture gets bars instead.
    if (const QToolBar* bar = findChild<QToolBar*>(QStringLiteral("ToolBar")); bar && !tile_)
        want.setWidth(std::max(want.width(), bar->sizeHint().width()));
    if (const QScreen* screen = this->screen())
        want = want.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(want);
}

void ViewerWindow::FindReason() {
    if (probing_ || !camera_ || !model_.Info().reason.empty())
        return;
    // The control reports only that it could not connect; a connection attempt of the
    // host's own finds out why, for the words in the window.
    probing_ = true;
    auto* socket = new QTcpSocket(this);
    const std::string hostPort = camera_->HostPort();
    auto done = [this, socket, hostPort](const QString& reason) {
        probing_ = false;
        socket->deleteLater();
        if (camera_ && camera_->HostPort() == hostPort &&
            model_.State() == CameraState::CannotConnect) {
            model_.SetReason(reason.toStdString());
            Refresh();
        }
    };
    connect(socket, &QTcpSocket::connected, this, [done] {
        done(QStringLiteral("the camera accepted the connection but did not answer"));
    });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [done, socket](QAbstractSocket::SocketError e) {
                switch (e) {
                case QAbstractSocket::ConnectionRefusedError:
                    done(QStringLiteral("connection refused"));
                    break;
                case QAbstractSocket::HostNotFoundError:
                    done(QStringLiteral("no such host"));
                    break;
                case QAbstractSocket::SocketTimeoutError:
                    done(QStringLiteral("no answer"));
                    break;
                case QAbstractSocket::NetworkError:
                    done(QStringLiteral("network unreachable"));
                    break;
                default:
                    done(socket->errorString().toLower());
                }
            });
    QTimer::singleShot(5000, socket, [done] { done(QStringLiteral("no answer")); });
    socket->connectToHost(QString::fromStdString(camera_->host),
                          static_cast<quint16>(camera_->port));
}

QString ViewerWindow::StatusText() const {
    return status_->text();
}

void ViewerWindow::Refresh() {
    const CameraState state = model_.State();
    const QString words = QString::fromStdString(model_.Text());
    const bool pictureSeen = !model_.Kind().empty();
    const bool hide =
        state == CameraState::NoCamera || state == CameraState::Stopped || !pictureSeen;
    stage_->SetMessage(StateCoversPicture(state) ? words : QString(), hide);

    QStringList parts;
    if (camera_)
        parts << QString::fromStdString(camera_->HostPort());
    if (state == CameraState::Playing || state == CameraState::Stalled) {
        parts << QString::fromStdString(model_.Kind());
        if (model_.Width() > 0)
            parts << QString::fromStdString(FormatPictureSize(model_.Width(), model_.Height()));
        if (model_.PicturesPerSecond() >= 0)
            parts << QString::fromStdString(FormatRate(model_.PicturesPerSecond()))
                  << QString::fromStdString(FormatBitRate(model_.KbitPerSecond()));
        if (model_.Kind() == "MPEG-4")
            parts << (settings_.sound ? QStringLiteral("Sound on (volume %1)").arg(settings_.volume)
                                      : QStringLiteral("Sound off"));
    }
    if (state != CameraState::Playing)
        parts << words;
    if (!note_.isEmpty() && QDateTime::currentDateTime() < noteUntil_)
        parts << note_;
    status_->setText(parts.join(QStringLiteral(" \u00b7 ")));

    if (!recordPath_.empty()) {
        const qint64 size = QFileInfo(QString::fromStdString(recordPath_)).size();
        recording_->setText(
            QStringLiteral("\u25cf REC %1 \u00b7 %2")
                .arg(QString::fromStdString(
                         FormatElapsed(recordStart_.secsTo(QDateTime::currentDateTime()))),
                     QString::fromStdString(FormatSize(static_cast<uint64_t>(size)))));
        recording_->setToolTip(QString::fromStdString(recordPath_));
        recording_->show();
    } else {
        recording_->hide();
    }
    const QSignalBlocker block(Action("play"));
    const bool running = state != CameraState::Stopped && state != CameraState::NoCamera &&
                         state != CameraState::LoginRefused && state != CameraState::Busy &&
                         !(state == CameraState::CannotConnect && model_.Info().attempt == 0);
    Action("play")->setChecked(running);
    Action("play")->setText(running ? QStringLiteral("Stop") : QStringLiteral("Play"));
}

void ViewerWindow::closeEvent(QCloseEvent* event) {
    if (!tile_) // the single window's settings are not a tile's
        SaveViewSettings(settings_);
    QMainWindow::closeEvent(event);
}

} // namespace kestrova::app

#include "camera_wall.h"

#include "hosting/hosted_control.h"
#include "open_dialog.h"
#include "recent_cameras.h"
#include "viewer/player_host_interface.h"
#include "viewer_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QStatusBar>
#include <QToolBar>
#include <cmath>

namespace kestrova::app {

struct CameraWall::Slot {
    std::unique_ptr<hosting::HostedControl> control;
    std::unique_ptr<ViewerWindow> window;
};

CameraWall::CameraWall(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("CameraWall"));
    setWindowTitle(QStringLiteral("Kestrova \u2014 camera wall"));
    grid_ = new QWidget(this);
    grid_->setObjectName(QStringLiteral("WallGrid"));
    grid_->setStyleSheet(QStringLiteral("#WallGrid { background: #202020; }"));
    layout_ = new QGridLayout(grid_);
    layout_->setContentsMargins(4, 4, 4, 4);
    layout_->setSpacing(4);
    setCentralWidget(grid_);

    auto* bar = addToolBar(QStringLiteral("Wall"));
    bar->setObjectName(QStringLiteral("WallToolBar"));
    bar->setMovable(false);
    auto add = [&](const char* name, const QString& text, const QKeySequence& key,
                   const QString& tip, std::function<void()> run) {
        auto* a = new QAction(text, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(key);
        a->setToolTip(QStringLiteral("%1 (%2)").arg(tip, key.toString(QKeySequence::NativeText)));
        connect(a, &QAction::triggered, this, std::move(run));
        bar->addAction(a);
        addAction(a);
    };
    add("add", QStringLiteral("Add\u2026"), QKeySequence::Open, QStringLiteral("Add a camera"),
        [this] { AskForCamera(); });
    const struct {
        const char* name;
        const char* text;
        QKeySequence key;
        const char* tip;
    } forwarded[] = {
        {"play", "Play/Stop", Qt::Key_Space, "Play or stop the selected camera"},
        {"snapshot", "Snapshot", Qt::Key_S, "Save the selected camera's picture"},
        {"record", "Record", Qt::Key_R, "Record the selected camera"},
        {"zoom", "Zoom 2X", Qt::Key_Z, "Zoom the selected camera"},
        {"flip", "Flip", Qt::Key_F, "Flip the selected camera's picture"},
        {"mirror", "Mirror", Qt::Key_M, "Mirror the selected camera's picture"},
        {"sound", "Sound", Qt::Key_U, "The selected camera's sound on or off"},
    };
    for (const auto& f : forwarded) {
        const char* name = f.name;
        add(name, QString::fromLatin1(f.text), f.key, QString::fromLatin1(f.tip),
            [this, name] { Trigger(name); });
    }
    add("fullscreen", QStringLiteral("Full screen"), Qt::Key_F11,
        QStringLiteral("Full screen (Escape leaves it)"),
        [this] { isFullScreen() ? showNormal() : showFullScreen(); });
    auto* leave = new QAction(this);
    leave->setShortcut(Qt::Key_Escape);
    connect(leave, &QAction::triggered, this, [this] {
        if (isFullScreen())
            showNormal();
    });
    addAction(leave);
    auto* quit = new QAction(this);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, &QWidget::close);
    addAction(quit);
    selectedText_ = new QLabel(this);
    selectedText_->setObjectName(QStringLiteral("SelectedText"));
    statusBar()->addWidget(selectedText_, 1);
    resize(1000, 720);
}

CameraWall::~CameraWall() {
    for (auto& t : tiles_)
        if (t->control && t->control->Object())
            t->control->Call("StopPlay");
    // Windows first: each holds its control's widget.
    for (auto& t : tiles_)
        t->window.reset();
}

ViewerWindow* CameraWall::Tile(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return tiles_[static_cast<std::size_t>(index)]->window.get();
}

ViewerWindow* CameraWall::AddCamera(const CameraAddress& address, const std::string& user,
                                    const std::string& password, const std::string& kind,
                                    std::string* error) {
    auto tile = std::make_unique<Slot>();
    tile->control = hosting::HostedControl::Create("KESTROVA.KestrovaCtrl.1", nullptr, error);
    if (!tile->control || !tile->control->As<viewer::PlayerHostInterface>())
        return nullptr;
    tile->window = std::make_unique<ViewerWindow>(*tile->control);
    ViewerWindow* w = tile->window.get();
    w->SetTileMode();
    const int index = Count();
    connect(w, &ViewerWindow::clicked, this, [this, index] { Select(index); });
    connect(w, &ViewerWindow::doubleClicked, this, [this, index] { ToggleEnlarge(index); });
    tiles_.push_back(std::move(tile));
    Arrange();
    w->Open(address, user, password, kind);
    Select(index);
    return w;
}

void CameraWall::Arrange() {
    const int n = Count();
    const int columns = std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n)))));
    for (int i = 0; i < n; ++i) {
        ViewerWindow* w = Tile(i);
        layout_->removeWidget(w);
        w->setParent(grid_);
        if (enlarged_ >= 0) {
            w->setVisible(i == enlarged_);
            if (i == enlarged_)
                layout_->addWidget(w, 0, 0);
        } else {
            layout_->addWidget(w, i / columns, i % columns);
            w->setVisible(true);
        }
    }
}

void CameraWall::Select(int index) {
    if (index < 0 || index >= Count())
        return;
    selected_ = index;
    // The selected tile's status line is highlighted.
    for (int i = 0; i < Count(); ++i) {
        QStatusBar* line = Tile(i)->statusBar();
        line->setAutoFillBackground(true);
        QPalette pal = line->palette();
        pal.setColor(QPalette::Window,
                     i == index ? QColor(0x3d, 0x8e, 0xe6) : QColor(0xe8, 0xe8, 0xe8));
        pal.setColor(QPalette::WindowText, i == index ? Qt::white : Qt::black);
        line->setPalette(pal);
        for (QLabel* label : line->findChildren<QLabel*>())
            label->setPalette(pal);
    }
    selectedText_->setText(QStringLiteral("Selected: %1").arg(Tile(index)->windowTitle()));
}

void CameraWall::ToggleEnlarge(int index) {
    enlarged_ = enlarged_ == index ? -1 : index;
    Select(index);
    Arrange();
}

void CameraWall::Trigger(const char* action) {
    if (ViewerWindow* w = Tile(selected_))
        if (QAction* a = w->Action(QString::fromLatin1(action)))
            a->trigger();
}

void CameraWall::AskForCamera() {
    app::OpenDialog dialog(RecentCameras::Load(), false, this);
    if (dialog.exec() != QDialog::Accepted || !dialog.Request())
        return;
    const OpenRequest& r = *dialog.Request();
    RecentCameras::Remember(OpenDialog::ToRecent(r));
    std::string error;
    if (!AddCamera(r.address, r.user, r.password, r.kind, &error))
        selectedText_->setText(QString::fromStdString("No camera could be added: " + error));
}

void CameraWall::closeEvent(QCloseEvent* event) {
    for (int i = 0; i < Count(); ++i)
        Tile(i)->close(); // each keeps its view settings
    QMainWindow::closeEvent(event);
}

} // namespace kestrova::app

#pragma once

#include "motion/motion_model.h"

#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

class QCheckBox;
class QLineEdit;
class QProgressBar;
class QSpinBox;

namespace kestrova::hosting {
class HostedControl;
}
namespace kestrova::motion {
class MotionHostInterface;
}

namespace kestrova::wardline {

// The camera's motion page around the control: per area an enable box, a threshold, a
// title and a live indicator bar polled every 200 ms; Apply; in view mode OK and Cancel.
// The control's methods are called by name through its dispatch table.
class CPageWindow : public QWidget {
    Q_OBJECT
public:
    // Takes the control's widget in as its child; `control` must offer MotionHostInterface.
    CPageWindow(int mode, hosting::HostedControl& control, QWidget* parent = nullptr);
    ~CPageWindow() override;

    // Takes the control's values into the page's fields; they count as saved from here.
    void Refresh();
    // The camera the window works on, shown in its title.
    void SetCamera(const QString& name);
    // Sends the edits to the camera (the Apply button, Enter).
    void Apply();
    // Edits in the fields or on the area frames that were not applied yet.
    bool HasUnsavedChanges() const;
    // Asked when the window closes with unsaved changes: Save (apply, then close), Discard
    // or Cancel (stay open). The default asks with a message box.
    std::function<QMessageBox::StandardButton()> askOnClose;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Poll();
    void CommitTitles();

    long Get(const char* method, int area) const;

    hosting::HostedControl& control_;
    std::array<QCheckBox*, 4> enable_{};
    std::array<QSpinBox*, 4> threshold_{};
    std::array<QLineEdit*, 4> title_{};
    std::array<QProgressBar*, 4> indicator_{};
    QTimer poll_;
    int mode_;
    QString camera_;
    motion::AreaSet saved_;
    bool savedKnown_ = false;
};

} // namespace kestrova::wardline

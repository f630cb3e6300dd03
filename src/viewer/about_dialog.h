#pragma once

#include <QDialog>
#include <QWidget>

namespace kestrova::viewer {

// The about box (template 1).
class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
};

// The control's property page (template 200, caption "General"): it exchanges no
// properties.
class COrloPlayerSetaPropPage : public QWidget {
    Q_OBJECT
public:
    explicit COrloPlayerSetaPropPage(QWidget* parent = nullptr);
    QString Caption() const;
};

} // namespace kestrova::viewer

#pragma once

#include "hosting/property_page.h"

#include <QDialog>
#include <QWidget>

namespace kestrova::viewer {

// The about box (template 1).
class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
};

// The control's property page (template 200, caption string 1001 "General"): it
// exchanges no properties. The module's property page factory makes it.
class COrloPlayerSetaPropPage : public hosting::PropertyPage {
    Q_OBJECT
public:
    explicit COrloPlayerSetaPropPage(QWidget* parent = nullptr);
};

} // namespace kestrova::viewer

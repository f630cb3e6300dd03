#pragma once

#include <QWidget>

namespace kestrova::hosting {
class HostedControl;
}

namespace kestrova::app {

// The page around the control: the control on the left and the page's buttons beside it,
// which call the control's automation methods by name, as the camera's page does.
class PageWindow : public QWidget {
    Q_OBJECT
public:
    // Takes the control's widget in as its child.
    explicit PageWindow(hosting::HostedControl& control, QWidget* parent = nullptr);
};

} // namespace kestrova::app

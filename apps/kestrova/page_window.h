#pragma once

#include <QWidget>

namespace kestrova::viewer {
class COrloPlayerSetaCtrl;
}

namespace kestrova::app {

// The page around the control: the control on the left and the page's buttons beside it.
class PageWindow : public QWidget {
    Q_OBJECT
public:
    explicit PageWindow(QWidget* parent = nullptr);
    viewer::COrloPlayerSetaCtrl& Control() { return *control_; }

private:
    viewer::COrloPlayerSetaCtrl* control_;
};

} // namespace kestrova::app

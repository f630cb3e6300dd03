#pragma once

#include <QWidget>

namespace kestrova::motion {

// The control's property page, captioned "General": one placeholder text, nothing to edit
// (the control has no persistent properties).
class COrloMotionDetectPropPage : public QWidget {
    Q_OBJECT
public:
    explicit COrloMotionDetectPropPage(QWidget* parent = nullptr);
    static QString Caption() { return QStringLiteral("General"); }
};

} // namespace kestrova::motion

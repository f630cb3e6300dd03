#include "motion/prop_page.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kestrova::motion {

COrloMotionDetectPropPage::COrloMotionDetectPropPage(QWidget* parent) : QWidget(parent) {
    setWindowTitle(Caption());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("The motion detection control has no properties to set.", this));
}

} // namespace kestrova::motion

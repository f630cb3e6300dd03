#include "hosting/property_page.h"

#include <QLabel>

namespace kestrova::hosting {

PropertyPage::PropertyPage(const QString& caption, QWidget* parent)
    : QWidget(parent), caption_(caption) {
    setObjectName(QStringLiteral("PropertyPage"));
    setWindowTitle(caption);
    setFixedSize(kWidth, kHeight);
    // The template's static text: 7, 25, 229 x 16 dialog units.
    auto* text = new QLabel(QStringLiteral("The control has no properties to set."), this);
    text->setGeometry(10, 40, 343, 26);
}

} // namespace kestrova::hosting

#include "hosting/property_page.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kestrova::hosting {

PropertyPage::PropertyPage(const QString& caption, QWidget* parent)
    : QWidget(parent), caption_(caption) {
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("This control has no properties to set."), this));
}

} // namespace kestrova::hosting

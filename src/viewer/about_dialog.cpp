#include "viewer/about_dialog.h"

#include "viewer/dialog_units.h"
#include "viewer/string_table.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace kestrova::viewer {

namespace {

// The module's icon: a small camera drawn in code.
QPixmap CameraIcon() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(40, 40, 48));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(3, 9, 26, 18, 3, 3);
    p.drawRect(9, 6, 8, 4);
    p.setBrush(QColor(90, 160, 220));
    p.drawEllipse(QPointF(16, 18), 6, 6);
    return pm;
}

} // namespace

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About OrloPlayerSeta Control"));
    setObjectName(QStringLiteral("AboutDialog"));
    setFixedSize(DluX(260), DluY(55));
    auto* icon = new QLabel(this);
    icon->setPixmap(CameraIcon());
    icon->setGeometry(DluX(10), DluY(10), 32, 32);
    auto* line1 = new QLabel(QStringLiteral("Kestrova Control, Version 1.0"), this);
    line1->setGeometry(DluRect(40, 10, 170, 8));
    auto* line2 = new QLabel(QStringLiteral("Live network camera viewer"), this);
    line2->setGeometry(DluRect(40, 25, 170, 8));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("item1"));
    ok->setGeometry(DluRect(221, 7, 32, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

namespace {
QString PageCaption() {
    const auto s = LoadString(kStrGeneral);
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
} // namespace

COrloPlayerSetaPropPage::COrloPlayerSetaPropPage(QWidget* parent)
    : PropertyPage(PageCaption(), parent) {}

} // namespace kestrova::viewer

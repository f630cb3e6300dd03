#include "motion/auth_prompt.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

namespace kestrova::motion {

CMotionAuthDialog::CMotionAuthDialog(QWidget* parent)
    : QDialog(parent), user_(new QLineEdit(this)), password_(new QLineEdit(this)) {
    setWindowTitle("Authorization");
    setModal(true);
    password_->setEchoMode(QLineEdit::Password);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Please enter the user name and password.", this));
    auto* form = new QFormLayout;
    form->addRow("User Name:", user_);
    form->addRow("Password:", password_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

Credentials CMotionAuthDialog::Typed() const {
    return {user_->text().toStdString(), password_->text().toStdString()};
}

std::optional<Credentials> RunAuthDialog(QWidget* parent) {
    CMotionAuthDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Typed();
}

void ShowMotionAbout(QWidget* parent) {
    QMessageBox::about(parent, "About Wardline", "Wardline motion configuration control 1.0");
}

} // namespace kestrova::motion

#include "viewer/auth_dialog.h"

#include "viewer/dialog_host.h"
#include "viewer/dialog_units.h"
#include "viewer/message_box.h"
#include "viewer/string_table.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kestrova::viewer {

CAuthDialog::CAuthDialog(AuthFlow& flow, QWidget* parent) : QDialog(parent), flow_(flow) {
    setWindowTitle(QStringLiteral("Authorization"));
    setObjectName(QStringLiteral("AuthDialog"));
    setFixedSize(DluX(210), DluY(120));
    auto label = [this](const char* text, QRect r) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        l->setGeometry(r);
        return l;
    };
    label("Please enter the user name and password.", DluRect(10, 10, 185, 8));
    label("Authorization", DluRect(10, 30, 185, 8))->setObjectName(QStringLiteral("item223"));
    label("User Name:", DluRect(20, 50, 55, 8));
    label("Password:", DluRect(20, 70, 55, 8));
    user_ = new QLineEdit(this);
    user_->setObjectName(QStringLiteral("item221"));
    user_->setGeometry(DluRect(80, 48, 100, 14));
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("item222"));
    password_->setGeometry(DluRect(80, 68, 100, 14));
    password_->setEchoMode(QLineEdit::Password);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("item1"));
    ok->setGeometry(DluRect(45, 95, 50, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("item2"));
    cancel->setGeometry(DluRect(113, 95, 50, 14));
    connect(ok, &QPushButton::clicked, this, &CAuthDialog::OnOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    user_->setText(QString::fromStdString(flow_.User()));
    password_->setText(QString::fromStdString(flow_.Password()));
    // The presets are the ones just refused or not yet tried: try them once at once.
    QMetaObject::invokeMethod(this, &CAuthDialog::OnOk, Qt::QueuedConnection);
}

void CAuthDialog::OnOk() {
    if (!isVisible())
        return; // the queued first try of a dialog that was never run
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const AuthOutcome outcome =
        flow_.Try(user_->text().toStdString(), password_->text().toStdString());
    QGuiApplication::restoreOverrideCursor();
    switch (outcome) {
    case AuthOutcome::CannotConnect:
        ShowMessage(this, kStrCannotConnect, nullptr);
        break;
    case AuthOutcome::Refused:
        password_->clear();
        user_->setFocus();
        break;
    case AuthOutcome::GiveUp:
    case AuthOutcome::Accepted:
        accept();
        break;
    }
}

int CAuthDialog::RunWithHost(AuthFlow& flow, DialogHost& host) {
    std::string user = flow.User();
    std::string password = flow.Password();
    for (;;) {
        const AuthOutcome outcome = flow.Try(user, password);
        if (outcome == AuthOutcome::Accepted || outcome == AuthOutcome::GiveUp)
            return QDialog::Accepted;
        if (outcome == AuthOutcome::CannotConnect)
            host.Message(kStrCannotConnect, std::string(LoadString(kStrCannotConnect)));
        auto answer = host.AuthAnswer(flow.FailedAttempts());
        if (!answer)
            return QDialog::Rejected;
        user = answer->user;
        password = answer->password;
    }
}

} // namespace kestrova::viewer

#include "window_answers.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kestrova::app {

namespace {

std::optional<viewer::DialogHost::Login> AskLogin(QWidget* parent, const std::string& camera,
                                                  const std::string& user, int failed) {
    QDialog d(parent);
    d.setObjectName(QStringLiteral("LoginDialog"));
    d.setWindowTitle(QStringLiteral("Log in to %1").arg(QString::fromStdString(camera)));
    auto* layout = new QVBoxLayout(&d);
    auto* what = new QLabel(QStringLiteral("Camera %1 asks for a user name and password.")
                                .arg(QString::fromStdString(camera)),
                            &d);
    layout->addWidget(what);
    if (failed > 0) {
        auto* refused = new QLabel(
            QStringLiteral("The camera refused that user name or password (try %1 of 3).")
                .arg(failed),
            &d);
        refused->setObjectName(QStringLiteral("Refused"));
        refused->setStyleSheet(QStringLiteral("color: #b00000"));
        layout->addWidget(refused);
    }
    auto* form = new QFormLayout;
    auto* userEdit = new QLineEdit(QString::fromStdString(user), &d);
    userEdit->setObjectName(QStringLiteral("User"));
    auto* passEdit = new QLineEdit(&d);
    passEdit->setObjectName(QStringLiteral("Password"));
    passEdit->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("&User:"), userEdit);
    form->addRow(QStringLiteral("&Password:"), passEdit);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    layout->addWidget(buttons);
    (user.empty() ? userEdit : passEdit)->setFocus();
    if (d.exec() != QDialog::Accepted)
        return std::nullopt;
    return viewer::DialogHost::Login{userEdit->text().toStdString(),
                                     passEdit->text().toStdString()};
}

} // namespace

WindowAnswers::WindowAnswers(QWidget* parent) : parent_(parent) {
    login_ = [this](const std::string& camera, int failed) {
        return AskLogin(parent_, camera, user_, failed);
    };
    save_ = [this](const std::string& proposed) -> std::optional<std::string> {
        const QString path = QFileDialog::getSaveFileName(
            parent_, QStringLiteral("Save snapshot"), QString::fromStdString(proposed),
            QStringLiteral("JPEG picture (*.jpg *.jpeg);;Bitmap (*.bmp)"));
        if (path.isEmpty())
            return std::nullopt;
        return path.toStdString();
    };
}

void WindowAnswers::SetCamera(std::string hostPort, std::string user) {
    camera_ = std::move(hostPort);
    user_ = std::move(user);
}

void WindowAnswers::Message(int id, const std::string&) {
    if (onMessage)
        onMessage(id);
}

std::optional<viewer::DialogHost::Login> WindowAnswers::AuthAnswer(int failedAttempts) {
    lastLogin_ = login_ ? login_(camera_, failedAttempts) : std::nullopt;
    if (lastLogin_)
        user_ = lastLogin_->user;
    return lastLogin_;
}

std::optional<viewer::DialogHost::SaveAnswer>
WindowAnswers::SnapshotAnswer(const std::string& defaultName) {
    lastSaved_.clear();
    auto path = save_ ? save_(ProposedSnapshotName(defaultName)) : std::nullopt;
    if (!path)
        return std::nullopt;
    const QString suffix = QFileInfo(QString::fromStdString(*path)).suffix().toLower();
    const bool bmp = suffix == QLatin1String("bmp");
    // A name without a known ending is saved as JPEG, the proposed type.
    if (!bmp && suffix != QLatin1String("jpg") && suffix != QLatin1String("jpeg"))
        *path += ".jpg";
    lastSaved_ = *path;
    return SaveAnswer{*path, !bmp};
}

std::string WindowAnswers::ProposedSnapshotName(const std::string& defaultName) {
    const QFileInfo info(QString::fromStdString(defaultName));
    QString stamp = info.fileName();
    while (!stamp.isEmpty() && !stamp.front().isDigit())
        stamp.remove(0, 1);
    return (info.path() + QStringLiteral("/kestrova-") + stamp + QStringLiteral(".jpg"))
        .toStdString();
}

} // namespace kestrova::app

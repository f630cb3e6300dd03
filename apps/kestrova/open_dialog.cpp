#include "open_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrova::app {

OpenDialog::OpenDialog(std::vector<RecentCamera> recent, bool allowAdd, QWidget* parent)
    : QDialog(parent), recent_(std::move(recent)) {
    setObjectName(QStringLiteral("OpenDialog"));
    setWindowTitle(QStringLiteral("Open camera"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    address_ = new QComboBox(this);
    address_->setObjectName(QStringLiteral("Address"));
    address_->setEditable(true);
    address_->setMinimumWidth(360);
    for (const auto& c : recent_)
        address_->addItem(QString::fromStdString(c.address));
    address_->setCurrentIndex(-1);
    address_->lineEdit()->setPlaceholderText(QStringLiteral("http://camera:80/  or  192.168.0.20"));
    address_->setToolTip(
        QStringLiteral("The camera's web address, a stream address (img/video.asf, img/mjpeg.cgi) "
                       "or HOST:PORT; user:password@ may come before the host"));
    user_ = new QLineEdit(this);
    user_->setObjectName(QStringLiteral("User"));
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("Password"));
    password_->setEchoMode(QLineEdit::Password);
    remember_ = new QCheckBox(QStringLiteral("&Remember the password"), this);
    remember_->setObjectName(QStringLiteral("Remember"));
    kind_ = new QComboBox(this);
    kind_->setObjectName(QStringLiteral("Kind"));
    kind_->addItem(QStringLiteral("As the camera sends"), QString());
    kind_->addItem(QStringLiteral("MPEG-4 with sound"), QStringLiteral("mpeg4"));
    kind_->addItem(QStringLiteral("Motion-JPEG"), QStringLiteral("jpeg"));
    form->addRow(QStringLiteral("&Camera:"), address_);
    form->addRow(QStringLiteral("&User:"), user_);
    form->addRow(QStringLiteral("&Password:"), password_);
    form->addRow(QString(), remember_);
    form->addRow(QStringLiteral("&Stream:"), kind_);
    layout->addLayout(form);
    error_ = new QLabel(this);
    error_->setObjectName(QStringLiteral("Error"));
    error_->setStyleSheet(QStringLiteral("color: #b00000"));
    error_->setWordWrap(true);
    error_->hide();
    layout->addWidget(error_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* open = buttons->addButton(QStringLiteral("&Open"), QDialogButtonBox::AcceptRole);
    open->setObjectName(QStringLiteral("OpenButton"));
    open->setDefault(true);
    if (allowAdd) {
        QPushButton* add =
            buttons->addButton(QStringLiteral("&Add to wall"), QDialogButtonBox::ActionRole);
        add->setObjectName(QStringLiteral("AddButton"));
        connect(add, &QPushButton::clicked, this, [this] { Finish(true); });
    }
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(open, &QPushButton::clicked, this, [this] { Finish(false); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(address_, &QComboBox::activated, this, &OpenDialog::Fill);
    if (!recent_.empty()) {
        address_->setCurrentIndex(0);
        Fill(0);
    }
}

void OpenDialog::Fill(int i) {
    if (i < 0 || i >= static_cast<int>(recent_.size()))
        return;
    const RecentCamera& c = recent_[static_cast<std::size_t>(i)];
    user_->setText(QString::fromStdString(c.user));
    password_->setText(QString::fromStdString(c.password));
    remember_->setChecked(c.rememberPassword);
    kind_->setCurrentIndex(std::max(0, kind_->findData(QString::fromStdString(c.kind))));
}

void OpenDialog::Finish(bool add) {
    std::string error;
    auto address = ParseCameraAddress(address_->currentText().toStdString(), error);
    if (!address) {
        error_->setText(QString::fromStdString(error));
        error_->show();
        return;
    }
    OpenRequest r;
    r.address = *address;
    // Credentials typed into the address win over empty fields, as in a browser.
    r.user = user_->text().toStdString();
    r.password = password_->text().toStdString();
    if (address->hasCredentials && r.user.empty()) {
        r.user = address->user;
        r.password = address->password;
    }
    r.kind = kind_->currentData().toString().toStdString();
    if (r.kind.empty())
        r.kind = address->kind;
    r.rememberPassword = remember_->isChecked();
    r.add = add;
    request_ = r;
    accept();
}

RecentCamera OpenDialog::ToRecent(const OpenRequest& r) {
    RecentCamera c;
    c.address = r.address.Display();
    c.user = r.user;
    c.rememberPassword = r.rememberPassword;
    if (r.rememberPassword)
        c.password = r.password;
    c.kind = r.kind;
    return c;
}

} // namespace kestrova::app

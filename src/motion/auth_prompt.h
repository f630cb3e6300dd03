#pragma once

#include "motion/config_client.h"

#include <QDialog>
#include <optional>

class QLineEdit;

namespace kestrova::motion {

// The "Authorization" dialog: user name (edit 242) and password (edit 243), both empty at
// the start.
class CMotionAuthDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kUserEditId = 242;
    static constexpr int kPasswordEditId = 243;

    explicit CMotionAuthDialog(QWidget* parent = nullptr);
    Credentials Typed() const;
    QLineEdit* UserEdit() const { return user_; }
    QLineEdit* PasswordEdit() const { return password_; }

private:
    QLineEdit* user_;
    QLineEdit* password_;
};

// Shows the dialog modally: the typed credentials, or nothing for Cancel.
std::optional<Credentials> RunAuthDialog(QWidget* parent);

// The modal about box.
void ShowMotionAbout(QWidget* parent);

} // namespace kestrova::motion

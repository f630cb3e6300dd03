#pragma once

#include "viewer/auth_flow.h"

#include <QDialog>

class QLineEdit;

namespace kestrova::viewer {

class DialogHost;

// The "Authorization" dialog: the preset credentials are tried at once; a refusal clears
// the password for another try, the third closes the dialog with OK.
class CAuthDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kUserEditId = 221;
    static constexpr int kPasswordEditId = 222;

    CAuthDialog(AuthFlow& flow, QWidget* parent = nullptr);

    // Runs the dialog without showing it: tries the presets, then whatever the host
    // answers, with the same outcomes. Returns Accepted or Rejected.
    static int RunWithHost(AuthFlow& flow, DialogHost& host);

    QLineEdit* UserEdit() const { return user_; }
    QLineEdit* PasswordEdit() const { return password_; }

public slots:
    void OnOk();

private:
    AuthFlow& flow_;
    QLineEdit* user_;
    QLineEdit* password_;
};

} // namespace kestrova::viewer

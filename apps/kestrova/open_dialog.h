#pragma once

#include "camera_address.h"
#include "recent_cameras.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace kestrova::app {

// What the user asked the open dialog for.
struct OpenRequest {
    CameraAddress address;
    std::string user;
    std::string password;
    std::string kind; // "", "mpeg4" or "jpeg"
    bool rememberPassword = false;
    bool add = false; // add to the wall instead of replacing the camera
};

// Open camera: an address in any common form (with a list of recent cameras), user,
// password, "remember password" and the stream kind. A bad address is reported in the
// dialog, which stays open.
class OpenDialog : public QDialog {
    Q_OBJECT
public:
    // `allowAdd` offers an "Add to wall" button beside Open.
    explicit OpenDialog(std::vector<RecentCamera> recent, bool allowAdd, QWidget* parent = nullptr);

    const std::optional<OpenRequest>& Request() const { return request_; }
    // The request as the user would leave it: also the entry to remember.
    static RecentCamera ToRecent(const OpenRequest& request);

private:
    void Fill(int recentIndex);
    void Finish(bool add);

    std::vector<RecentCamera> recent_;
    QComboBox* address_;
    QLineEdit* user_;
    QLineEdit* password_;
    QCheckBox* remember_;
    QComboBox* kind_;
    QLabel* error_;
    std::optional<OpenRequest> request_;
};

} // namespace kestrova::app

#pragma once

#include "viewer/camera_request.h"

#include <string>

namespace kestrova::viewer {

// What one login try of the authorization dialog came to.
enum class AuthOutcome {
    CannotConnect, // no answer in time: message 1007, the dialog stays
    Refused,       // credentials refused, tries left: the dialog stays
    GiveUp,        // the third refusal: the dialog closes with OK, the caller shows 1006
    Accepted,      // the dialog closes with OK, rights read from the answer
};

// The login logic of the authorization dialog, free of widgets.
class AuthFlow {
public:
    static constexpr int kMaxFailures = 3;

    AuthFlow(std::string url, std::string user, std::string password, CameraRequest request);

    AuthOutcome Try(const std::string& user, const std::string& password);

    const std::string& Url() const { return url_; }
    const std::string& User() const { return user_; }
    const std::string& Password() const { return password_; }
    int FailedAttempts() const { return failed_; }
    const std::string& PanTiltRights() const { return panTiltRights_; }
    const std::string& IoRights() const { return ioRights_; }

private:
    std::string url_;
    std::string user_;
    std::string password_;
    CameraRequest request_;
    int failed_ = 0;
    std::string panTiltRights_ = "off";
    std::string ioRights_ = "off";
};

} // namespace kestrova::viewer

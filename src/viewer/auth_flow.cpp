#include "viewer/auth_flow.h"

#include "net/refusal.h"
#include "viewer/camera_answer.h"

namespace kestrova::viewer {

AuthFlow::AuthFlow(std::string url, std::string user, std::string password, CameraRequest request)
    : url_(std::move(url)), user_(std::move(user)), password_(std::move(password)),
      request_(std::move(request)) {}

AuthOutcome AuthFlow::Try(const std::string& user, const std::string& password) {
    user_ = user;
    password_ = password;
    std::string body;
    if (!request_ || !request_(body, url_, user_, password_))
        return AuthOutcome::CannotConnect;
    if (net::IsLoginRefused(body)) {
        ++failed_;
        return failed_ < kMaxFailures ? AuthOutcome::Refused : AuthOutcome::GiveUp;
    }
    if (auto pt = AnswerValue(body, "ptctrl="))
        panTiltRights_ = *pt;
    if (auto io = AnswerValue(body, "ioctrl="))
        ioRights_ = *io;
    return AuthOutcome::Accepted;
}

} // namespace kestrova::viewer

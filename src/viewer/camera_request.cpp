#include "viewer/camera_request.h"

namespace kestrova::viewer {

CameraRequest HttpCameraRequest(net::CHttpPoster::Options options) {
    return [options](std::string& body, const std::string& url, const std::string& user,
                     const std::string& password) {
        net::CHttpPoster poster(options);
        RequestOutcome outcome = poster.Request(body, url, false, user, password);
        outcome.tooLarge = poster.LastError() == net::CHttpPoster::kErrorAnswerTooLarge;
        return outcome;
    };
}

} // namespace kestrova::viewer

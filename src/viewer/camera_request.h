#pragma once

#include "net/http_poster.h"

#include <functional>
#include <string>

namespace kestrova::viewer {

// What one camera request came to: false when there was no answer in time (or it was too
// large), else true. Built from a plain bool too, so a simple function can serve.
struct RequestOutcome {
    RequestOutcome(bool ok) : answered(ok) {} // NOLINT(google-explicit-constructor)
    explicit operator bool() const { return answered; }

    bool answered = false;
    bool tooLarge = false; // the answer passed the size cap: the camera did answer
};

// One GET of a camera CGI with the user's credentials; the answer's text goes to `body`
// (empty when the camera cannot be reached).
using CameraRequest =
    std::function<RequestOutcome(std::string& body, const std::string& url, const std::string& user,
                                 const std::string& password)>;

// A request through a fresh CHttpPoster with the given options.
CameraRequest HttpCameraRequest(net::CHttpPoster::Options options = net::CHttpPoster::Options());

} // namespace kestrova::viewer

#pragma once

#include "net/http_poster.h"

#include <functional>
#include <string>

namespace kestrova::viewer {

// One GET of a camera CGI with the user's credentials: false when there was no answer in
// time, else true with the answer's text (empty when the camera cannot be reached).
using CameraRequest = std::function<bool(std::string& body, const std::string& url,
                                         const std::string& user, const std::string& password)>;

// A request through a fresh CHttpPoster with the given options.
CameraRequest HttpCameraRequest(net::CHttpPoster::Options options = net::CHttpPoster::Options());

} // namespace kestrova::viewer

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrova::app {

// A camera as a person types it: "HOST", "HOST:PORT", "http://HOST:PORT/" (the address a
// browser shows), a stream URL ending in img/video.asf or img/mjpeg.cgi, any of them with
// "user:pass@" before the host.
struct CameraAddress {
    std::string base;     // "http://HOST:PORT/PATH/", always ending in "/"
    std::string host;     // as typed, without brackets
    int port = 80;        // the port the connection goes to
    std::string user;     // from "user:pass@" (percent-decoded); empty when none
    std::string password; // may be empty even when a user is given
    bool hasCredentials = false;
    // The stream kind the address names: "mpeg4" (img/video.asf), "jpeg" (img/mjpeg.cgi),
    // empty when it names only the camera.
    std::string kind;

    // "HOST:PORT", for titles and messages.
    std::string HostPort() const;
    // The stream URL of one kind, without credentials.
    std::string StreamUrl(bool mpeg) const;
    // The address with credentials removed, as shown in lists and titles.
    std::string Display() const;
};

// Parses a camera address. Nothing, with `error` set to a sentence for the user, when
// it cannot name a camera: empty text, a scheme other than http, a bad port.
std::optional<CameraAddress> ParseCameraAddress(std::string_view text, std::string& error);

} // namespace kestrova::app

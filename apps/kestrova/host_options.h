#pragma once

#include <QStringList>
#include <optional>
#include <string>

namespace kestrova::app {

// What the kestrova host was asked to do.
struct HostOptions {
    std::string url;            // the camera's stream URL; empty: the built-in camera
    std::string type = "mpeg4"; // "mpeg4", "jpeg" or "both" (built-in camera only)
    std::string rate;
    std::string panTilt = "off";
    std::string user = "admin";
    std::string password = "admin";
    std::string auth;    // the page's credential string; overrides user and password
    double seconds = -1; // < 0: until the window closes (5 s when headless)
    std::string snapshot;
    std::string record;
    std::string audioWav;
    std::string screenshot;
    bool stats = false;
    bool headless = false;
    int volume = 9;
    int width = 320;
    int height = 240;
};

// Parses the command line (without the program name). Nothing, with `error` set, for a
// bad option; `help` is set for --help.
std::optional<HostOptions> ParseHostOptions(const QStringList& args, std::string& error,
                                            bool& help);
const char* HostUsage();

// The credential string a page would pass: "Basic " and Base64 of user:password, unless
// the options carry one.
std::string CredentialString(const HostOptions& options);

} // namespace kestrova::app

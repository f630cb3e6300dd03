#pragma once

#include "camera_address.h"

#include <QStringList>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::app {

// What the kestrova host was asked to do.
struct HostOptions {
    std::string url;                      // the camera's stream URL; empty: the built-in camera
    std::vector<std::string> moreCameras; // further cameras, for a wall (window sessions)
    std::string type = "mpeg4";           // "mpeg4", "jpeg" or "both" (built-in camera only)
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
    bool userGiven = false; // --user, --password or --auth was given
    // The camera named on the command line, in any form ParseCameraAddress takes.
    std::optional<CameraAddress> address;

    // Asked for something to do and report (a run of fixed length, files, statistics),
    // rather than a window session a person drives.
    bool Scripted() const {
        return seconds >= 0 || stats || !snapshot.empty() || !record.empty() || !audioWav.empty() ||
               !screenshot.empty() || type == "both";
    }
};

// Parses the command line (without the program name). Nothing, with `error` set, for a
// bad option; `help` is set for --help.
std::optional<HostOptions> ParseHostOptions(const QStringList& args, std::string& error,
                                            bool& help);
const char* HostUsage();

// Reads the camera URL of `options` as an address: the URL becomes the stream URL the
// control is given and credentials in it ("user:pass@") are used unless --user, --password
// or --auth came too. False, with `error`, when it names no camera this program can open.
bool ResolveCameraAddress(HostOptions& options, std::string& error);

// The credential string a page would pass: "Basic " and Base64 of user:password, unless
// the options carry one.
std::string CredentialString(const HostOptions& options);

} // namespace kestrova::app

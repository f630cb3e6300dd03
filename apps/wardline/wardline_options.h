#pragma once

#include <QStringList>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::wardline {

// What the wardline host was asked to do.
struct WardlineOptions {
    std::string url;                // the camera's base URL; empty: the built-in camera
    std::string frameType = "mpeg"; // "jpeg" for Motion-JPEG, anything else ASF
    int mode = 1;                   // 1 areas, 2 view
    std::string user = "admin";
    std::string password = "admin";
    std::string auth; // the page's credential string; overrides user and password
    bool headless = false;
    bool dump = false;
    bool apply = false;
    double watchSeconds = 0;
    std::string screenshot;
    struct Edit {
        enum class Kind { Enable, Threshold, Title } kind;
        int area = 0; // 0..3
        int value = 0;
        std::string text;
    };
    std::vector<Edit> edits; // in command-line order
};

// Parses the command line (without the program name). Nothing, with `error` set, for a bad
// option; `help` is set for --help.
std::optional<WardlineOptions> ParseWardlineOptions(const QStringList& args, std::string& error,
                                                    bool& help);
const char* WardlineUsage();

// "Basic " and the Base64 of user:password, unless the options carry a credential string.
std::string WardlineCredentials(const WardlineOptions& options);

} // namespace kestrova::wardline

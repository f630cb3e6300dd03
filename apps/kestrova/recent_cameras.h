#pragma once

#include <string>
#include <vector>

namespace kestrova::app {

// One camera the user opened: the address as shown (no credentials in it), the user name,
// the password only when the user asked for it to be remembered, and the stream kind.
struct RecentCamera {
    std::string address;
    std::string user;
    std::string password;
    bool rememberPassword = false;
    std::string kind; // "", "mpeg4" or "jpeg"
};

// The recent cameras in the settings store, newest first, at most kMax. Passwords are kept
// in the store's file as plain text, and only for entries with rememberPassword; the file
// is then made readable by its owner alone.
class RecentCameras {
public:
    static constexpr std::size_t kMax = 8;

    static std::vector<RecentCamera> Load();
    // Puts `camera` first (replacing an entry with the same address) and saves the list.
    static bool Remember(const RecentCamera& camera);
};

} // namespace kestrova::app

#pragma once

#include <optional>
#include <string>

namespace kestrova::viewer {

// A host that answers the viewer's dialogs itself instead of showing them: credentials
// and save paths come from its options, message boxes are reported to it. Without one the
// dialogs are real modal Qt dialogs.
class DialogHost {
public:
    virtual ~DialogHost() = default;

    // A message box the viewer would show (string table id and text).
    virtual void Message(int id, const std::string& text) = 0;

    // The authorization dialog after the preset credentials were refused `failedAttempts`
    // times (or got no answer): credentials to try next, or nothing for Cancel.
    struct Login {
        std::string user;
        std::string password;
    };
    virtual std::optional<Login> AuthAnswer(int failedAttempts) = 0;

    // The snapshot dialog: the file to save to, or nothing for Cancel. `jpgFilter` stands
    // for the save-file dialog's chosen filter.
    struct SaveAnswer {
        std::string path;
        bool jpgFilter = false;
    };
    virtual std::optional<SaveAnswer> SnapshotAnswer(const std::string& defaultName) = 0;

    // The about box was asked for.
    virtual void About() {}
};

} // namespace kestrova::viewer

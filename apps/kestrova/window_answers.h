#pragma once

#include "viewer/dialog_host.h"

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace kestrova::app {

// Answers the control's dialogs for a window session: message boxes become the window's
// status (no modal box over a camera that is gone), the login prompt names the camera and
// says when the last try was refused, and the snapshot's save dialog proposes a JPEG
// named after the program.
class WindowAnswers : public viewer::DialogHost {
public:
    using LoginAsker =
        std::function<std::optional<Login>(const std::string& camera, int failedAttempts)>;
    using SaveAsker = std::function<std::optional<std::string>(const std::string& proposed)>;

    explicit WindowAnswers(QWidget* parent);

    void Message(int id, const std::string& text) override;
    std::optional<Login> AuthAnswer(int failedAttempts) override;
    std::optional<SaveAnswer> SnapshotAnswer(const std::string& defaultName) override;

    // The camera the next login prompt names, and the user name it starts with.
    void SetCamera(std::string hostPort, std::string user);
    // Replace the real dialogs (tests, scripted runs).
    void SetLoginAsker(LoginAsker asker) { login_ = std::move(asker); }
    void SetSaveAsker(SaveAsker asker) { save_ = std::move(asker); }
    std::function<void(int id)> onMessage;

    // The path of the last snapshot the user chose to save (empty after Cancel).
    const std::string& LastSaved() const { return lastSaved_; }
    void ClearLastSaved() { lastSaved_.clear(); }
    // The credentials of the last accepted login prompt.
    const std::optional<Login>& LastLogin() const { return lastLogin_; }

    // "FOLDER/kestrova-YYYYMMDD-HHMMSS.jpg" from the control's default name.
    static std::string ProposedSnapshotName(const std::string& defaultName);

private:
    QWidget* parent_;
    std::string camera_;
    std::string user_;
    LoginAsker login_;
    SaveAsker save_;
    std::string lastSaved_;
    std::optional<Login> lastLogin_;
};

} // namespace kestrova::app

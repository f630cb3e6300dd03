#pragma once

#include "host_options.h"
#include "sound_choice.h"
#include "viewer/dialog_host.h"

#include <QObject>
#include <QVariant>
#include <memory>
#include <string>
#include <vector>

namespace kestrova::sim {
class CameraSimulator;
}
namespace kestrova::hosting {
class HostedControl;
}
namespace kestrova::viewer {
class PlayerHostInterface;
}

namespace kestrova::app {

// Answers the control's dialogs from the command line: credentials from the options,
// the snapshot's save path from --snapshot, message boxes printed and kept.
class OptionAnswers : public viewer::DialogHost {
public:
    explicit OptionAnswers(const HostOptions& options) : options_(options) {}
    void Message(int id, const std::string& text) override;
    std::optional<Login> AuthAnswer(int failedAttempts) override;
    std::optional<SaveAnswer> SnapshotAnswer(const std::string& defaultName) override;
    void About() override {}

    std::vector<int> messages;
    std::vector<std::string> saved;

private:
    const HostOptions& options_;
    bool credentialsGiven_ = false;
};

// One run of the host: the built-in camera (when no URL is given), the control, the
// play, the automatic snapshot, and the report at the end. The control comes from its
// module: methods go through its dispatch table, the rest through PlayerHostInterface.
class HostRun : public QObject {
    Q_OBJECT
public:
    // `control` must offer PlayerHostInterface.
    HostRun(HostOptions options, hosting::HostedControl& control);
    ~HostRun() override;

    // Starts the camera and the play; false (and `error`) when the play cannot start.
    bool Start(std::string& error);
    // Stops the play and writes the screenshot; returns the exit status.
    int Finish();
    std::string StatsJson() const;
    const HostOptions& Options() const { return options_; }
    std::string CameraUrl() const { return url_; }

signals:
    void finished(int status);

private slots:
    // Connected by name to the control's pictureDrawn().
    void OnPicture();
    // Connected by name to the control's engineText(int, QString): printed on stderr.
    void OnEngineText(int code, const QString& text);

private:
    bool StartCamera(sim::CameraSimulator*& out, bool jpeg, std::string& error);
    bool Play(bool mpeg, std::string& error);
    void SwitchToJpeg();
    // Calls an automation method; a refused call is kept as an error of the run.
    QVariant Call(const char* method, const QVariantList& args = {});

    HostOptions options_;
    hosting::HostedControl& control_;
    viewer::PlayerHostInterface& player_;
    OptionAnswers answers_;
    std::unique_ptr<sim::CameraSimulator> camera_;
    SoundChoice sound_;
    std::string url_;
    bool snapshotTaken_ = false;
    bool switched_ = false;
    std::vector<std::string> errors_;
    std::string lastEngineText_; // printed last; a restart that fails alike is not repeated
};

} // namespace kestrova::app

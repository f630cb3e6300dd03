#pragma once

#include "motion/motion_host.h"
#include "viewer/dialog_host.h"

#include <QString>

namespace kestrova::page {

// How a headless page answers the viewer's dialogs, where nobody can: the snapshot is saved
// under the control's default name (in `saveDir` when one is given), the authorization
// dialog is cancelled, message boxes are printed.
class ViewerAnswers final : public viewer::DialogHost {
public:
    explicit ViewerAnswers(QString saveDir) : saveDir_(std::move(saveDir)) {}
    void Message(int id, const std::string& text) override;
    std::optional<Login> AuthAnswer(int failedAttempts) override;
    std::optional<SaveAnswer> SnapshotAnswer(const std::string& defaultName) override;
    void About() override;

private:
    QString saveDir_;
};

// The motion control's dialogs on a headless page: the authorization dialog is cancelled.
class MotionAnswers final : public motion::MotionDialogHost {
public:
    std::optional<motion::Credentials> AuthAnswer() override;
    void About() override;
};

} // namespace kestrova::page

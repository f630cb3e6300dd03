#pragma once

#include "motion/config_client.h"
#include "motion/motion_control.h"
#include "motion/motion_host.h"
#include "motion/motion_window.h"
#include "sim/camera_simulator.h"
#include "sim/motion_store.h"

#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>

namespace kestrova::motion::testing {

class ScriptedDialogs : public MotionDialogHost {
public:
    std::optional<Credentials> AuthAnswer() override {
        ++prompts;
        if (logins.empty())
            return std::nullopt;
        auto l = logins.front();
        logins.pop_front();
        return l;
    }
    void About() override { ++abouts; }
    std::deque<Credentials> logins;
    int prompts = 0;
    int abouts = 0;
};

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the simulated camera; `setupJson` becomes its stored motion set-up.
    void StartCamera(sim::SimOptions options = {}, const std::string& setupJson = {});
    void MakeControl();
    std::string Base() const;
    static QString Auth(const std::string& user, const std::string& password);
    bool WaitFor(const std::function<bool()>& done, int timeoutMs = 8000);
    int CameraCount(const std::string& key) const; // a number in the camera's status
    std::string CameraMotion() const;              // the camera's stored set-up as JSON
    sim::MotionSetup StoredSetup() const;          // the same, read back from "/status"

    std::unique_ptr<QTemporaryDir> temp;
    std::unique_ptr<sim::CameraSimulator> camera;
    std::unique_ptr<COrloMotionDetectCtrl> control;
    CMotionWindow* window = nullptr;
    ScriptedDialogs dialogs;
};

} // namespace kestrova::motion::testing

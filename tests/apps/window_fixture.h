#pragma once

#include "hosting/hosted_control.h"
#include "sim/camera_simulator.h"
#include "viewer_window.h"

#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace kestrova::app::test {

// Keeps the Qt event loop turning until `done` or `limit`.
bool WaitFor(const std::function<bool()>& done,
             std::chrono::milliseconds limit = std::chrono::seconds(10));

// A viewer window around a control made from the real module (registered in a settings
// store of the test's own), and a simulated camera.
class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the camera (user admin, password "secret").
    sim::CameraSimulator& StartCamera(sim::SimOptions options = {});
    CameraAddress CameraAt(const std::string& text) const;
    bool OpenCamera(const std::string& user = "admin", const std::string& password = "secret");
    bool WaitForState(CameraState state,
                      std::chrono::milliseconds limit = std::chrono::seconds(10));

    QTemporaryDir dir_;
    std::unique_ptr<hosting::HostedControl> control_;
    std::unique_ptr<ViewerWindow> window_;
    std::unique_ptr<sim::CameraSimulator> camera_;
};

} // namespace kestrova::app::test

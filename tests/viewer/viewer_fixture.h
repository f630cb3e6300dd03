#pragma once

#include "sim/camera_simulator.h"
#include "viewer/dialog_host.h"
#include "viewer/player_control.h"
#include "viewer/video_window.h"

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <chrono>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::viewer::testing {

// Answers the dialogs from scripted values and records what was asked.
class ScriptedHost : public DialogHost {
public:
    void Message(int id, const std::string&) override { messages.push_back(id); }
    std::optional<Login> AuthAnswer(int failed) override {
        authAsked.push_back(failed);
        if (logins.empty())
            return std::nullopt;
        Login l = logins.front();
        logins.pop_front();
        return l;
    }
    std::optional<SaveAnswer> SnapshotAnswer(const std::string& name) override {
        offeredNames.push_back(name);
        return save;
    }
    void About() override { ++abouts; }

    std::vector<int> messages;
    std::deque<Login> logins;
    std::vector<int> authAsked;
    std::optional<SaveAnswer> save;
    std::vector<std::string> offeredNames;
    int abouts = 0;
};

// RGB of the 75 % colour bars of the simulated camera's scene, left to right.
inline constexpr int kBarRgb[8][3] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                                      {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {0, 0, 0}};

class ViewerTest : public ::testing::Test {
public:
    // Median colour of bar `index` over nine heights of a picture drawn at `size`,
    // optionally mirrored, leaving out the moving square's pixels.
    static QRgb BarColour(const QImage& img, QSize drawn, int index, bool mirrored = false);
    static bool Near(QRgb c, const int rgb[3], int tolerance = 48);

protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the simulated camera (320 x 240 MPEG-4 unless told otherwise).
    void StartCamera(sim::SimOptions options = {});
    // A control with short engine timings and, unless `interactive`, the scripted host;
    // shown unless `shown` is false.
    void MakeControl(bool interactive = false, bool shown = true);
    // Processes events until `done` or the time-out.
    bool WaitFor(const std::function<bool()>& done, int timeoutMs = 8000);
    // "Basic <base64 of user:password>".
    static QString Credentials(const std::string& user, const std::string& password);
    QString StreamUrl(bool mpeg) const;
    bool SourceAndPlay(bool mpeg);
    bool WaitFrames(uint64_t count, int timeoutMs = 8000);
    QImage Grab();
    std::string CameraStatus() const { return camera->StatusJson(); }
    int CameraCount(const std::string& key) const;

    std::unique_ptr<QTemporaryDir> temp;
    std::unique_ptr<sim::CameraSimulator> camera;
    std::unique_ptr<COrloPlayerSetaCtrl> control;
    ScriptedHost host;
    CVideoWindow* window = nullptr;
};

} // namespace kestrova::viewer::testing

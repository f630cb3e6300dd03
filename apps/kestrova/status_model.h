#pragma once

#include "status_text.h"
#include "viewer/player_host_interface.h"

#include <cstdint>
#include <string>

namespace kestrova::app {

// What the window says about one camera, worked out from what the control tells its host:
// the message boxes it would show, the statistics (pictures, bytes, ended plays) sampled
// a few times a second, and the host's own play and stop requests. Time comes in as
// milliseconds so the rules are checked without waiting.
class StatusModel {
public:
    // Pictures missing this long while playing count as a stalled camera (longer for
    // cameras sending less than four pictures a second).
    static constexpr int64_t kStallMs = 1000;
    int64_t StallLimit() const;

    // A new camera is being opened; counters restart from `stats`.
    void Begin(const std::string& hostPort, const viewer::PlayerStatistics& stats, int64_t nowMs);
    // The control's message box ids: 1006 login failed, 1007 cannot connect, 1008 busy.
    void Message(int id);
    void Stopped();
    // Why connecting failed, once the host found out ("connection refused").
    void SetReason(std::string reason) { info_.reason = std::move(reason); }
    void SetHostPort(std::string hostPort) { info_.hostPort = std::move(hostPort); }
    void Sample(const viewer::PlayerStatistics& stats, int64_t nowMs);

    const StateInfo& Info() const { return info_; }
    CameraState State() const { return info_.state; }
    std::string Text() const { return StateText(info_); }
    // Measured over the last second or so; negative before the first measurement.
    double PicturesPerSecond() const { return fps_; }
    double KbitPerSecond() const { return kbps_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // "MPEG-4", "Motion-JPEG" or empty, from the path that drew the last pictures.
    const std::string& Kind() const { return kind_; }

private:
    void Set(CameraState state) { info_.state = state; }

    StateInfo info_;
    std::size_t codesSeen_ = 0;
    uint64_t mpeg4_ = 0, jpeg_ = 0;
    int64_t lastPictureMs_ = 0;
    int64_t rateStartMs_ = 0;
    uint64_t ratePictures_ = 0, rateBytes_ = 0;
    double fps_ = -1, kbps_ = -1;
    double playingFps_ = 0; // the last rate measured while pictures came
    int width_ = 0, height_ = 0;
    std::string kind_;
};

} // namespace kestrova::app

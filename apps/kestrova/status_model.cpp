#include "status_model.h"

namespace kestrova::app {

namespace {

uint64_t Pictures(const viewer::PlayerStatistics& s) {
    return s.picturesMpeg4 + s.picturesJpeg;
}

} // namespace

void StatusModel::Begin(const std::string& hostPort, const viewer::PlayerStatistics& s,
                        int64_t nowMs) {
    info_ = StateInfo{CameraState::Connecting, hostPort, {}, 0};
    codesSeen_ = s.endedCodes.size();
    mpeg4_ = s.picturesMpeg4;
    jpeg_ = s.picturesJpeg;
    lastPictureMs_ = nowMs;
    rateStartMs_ = nowMs;
    ratePictures_ = Pictures(s);
    rateBytes_ = s.bytesReceived;
    fps_ = kbps_ = -1;
    playingFps_ = 0;
    width_ = height_ = 0;
    kind_.clear();
}

void StatusModel::Message(int id) {
    switch (id) {
    case 1006:
        Set(CameraState::LoginRefused);
        break;
    case 1007:
        Set(CameraState::CannotConnect);
        break;
    case 1008:
        Set(CameraState::Busy);
        break;
    default:
        break;
    }
}

void StatusModel::Stopped() {
    Set(CameraState::Stopped);
    fps_ = kbps_ = -1;
}

int64_t StatusModel::StallLimit() const {
    // Four picture intervals, so a camera sending one picture a second is not called stalled.
    if (playingFps_ > 0 && 4000 / playingFps_ > kStallMs)
        return static_cast<int64_t>(4000 / playingFps_);
    return kStallMs;
}

void StatusModel::Sample(const viewer::PlayerStatistics& s, int64_t nowMs) {
    // Plays that ended since the last sample: the control restarts them itself (except a
    // busy camera), so the words say what went wrong and that it is trying again.
    if (s.endedCodes.size() > codesSeen_) {
        const int code = s.endedCodes.back();
        info_.attempt += static_cast<int>(s.endedCodes.size() - codesSeen_);
        codesSeen_ = s.endedCodes.size();
        if (info_.state != CameraState::Stopped) {
            if (code == 310)
                Set(CameraState::Busy);
            else if (code == 200)
                Set(CameraState::CannotConnect);
            else if (code == 300)
                Set(CameraState::LoginRefused);
            else
                Set(CameraState::Reconnecting);
        }
        lastPictureMs_ = nowMs;
    }
    if (s.picturesMpeg4 > mpeg4_ || s.picturesJpeg > jpeg_) {
        kind_ = s.picturesMpeg4 > mpeg4_ ? "MPEG-4" : "Motion-JPEG";
        mpeg4_ = s.picturesMpeg4;
        jpeg_ = s.picturesJpeg;
        lastPictureMs_ = nowMs;
        if (info_.state != CameraState::Stopped) {
            Set(CameraState::Playing);
            info_.attempt = 0;
            info_.reason.clear();
        }
    } else if (info_.state == CameraState::Playing && nowMs - lastPictureMs_ > StallLimit()) {
        Set(CameraState::Stalled);
    }
    if (s.width > 0 && s.height > 0) {
        width_ = s.width;
        height_ = s.height;
    }
    const int64_t span = nowMs - rateStartMs_;
    if (span >= 1000) {
        fps_ =
            static_cast<double>(Pictures(s) - ratePictures_) * 1000.0 / static_cast<double>(span);
        kbps_ = static_cast<double>(s.bytesReceived - rateBytes_) * 8.0 / static_cast<double>(span);
        if (fps_ > 0)
            playingFps_ = fps_;
        rateStartMs_ = nowMs;
        ratePictures_ = Pictures(s);
        rateBytes_ = s.bytesReceived;
    }
}

} // namespace kestrova::app

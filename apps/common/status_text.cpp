#include "status_text.h"

#include <cstdio>

namespace kestrova::app {

std::string StateText(const StateInfo& i) {
    const std::string at = i.hostPort.empty() ? std::string("the camera") : i.hostPort;
    switch (i.state) {
    case CameraState::NoCamera:
        return "No camera open. Ctrl+O opens one.";
    case CameraState::Connecting:
        return "Connecting to " + at + "\u2026";
    case CameraState::Playing:
        return "Playing";
    case CameraState::Stalled:
        return "The camera stopped sending. Waiting for " + at + "\u2026";
    case CameraState::Reconnecting:
        return "The stream from " + at + " ended. Reconnecting" +
               (i.attempt > 1 ? " (attempt " + std::to_string(i.attempt) + ")" : "") + "\u2026";
    case CameraState::CannotConnect:
        return "Cannot connect to " + at + (i.reason.empty() ? "" : " (" + i.reason + ")") +
               (i.attempt > 0 ? ". Retrying (attempt " + std::to_string(i.attempt) + ")\u2026"
                              : ". Space tries again.");
    case CameraState::LoginRefused:
        return "Camera refused the login at " + at + ". Ctrl+O or Space tries again.";
    case CameraState::Busy:
        return "Camera " + at + " is busy: too many viewers. Space tries again.";
    case CameraState::Stopped:
        return "Stopped. Space plays.";
    }
    return {};
}

bool StateCoversPicture(CameraState state) {
    return state != CameraState::Playing;
}

std::string FormatSize(uint64_t bytes) {
    char text[32];
    if (bytes >= 1000 * 1000)
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    else if (bytes >= 1000)
        std::snprintf(text, sizeof text, "%llu kB", static_cast<unsigned long long>(bytes / 1000));
    else
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    return text;
}

std::string FormatElapsed(int64_t seconds) {
    if (seconds < 0)
        seconds = 0;
    char text[32];
    const auto h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    if (h > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(h),
                      static_cast<long long>(m), static_cast<long long>(s));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(m),
                      static_cast<long long>(s));
    return text;
}

std::string FormatPictureSize(int width, int height) {
    if (width <= 0 || height <= 0)
        return {};
    return std::to_string(width) + "x" + std::to_string(height);
}

std::string FormatRate(double picturesPerSecond) {
    if (picturesPerSecond < 0)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%.1f pictures/s", picturesPerSecond);
    return text;
}

std::string FormatBitRate(double kbitPerSecond) {
    if (kbitPerSecond < 0)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%.0f kbit/s", kbitPerSecond);
    return text;
}

std::string EngineTextLine(int code, const std::string& text) {
    if (code == 0)
        return text;
    return "the stream ended (" + std::to_string(code) + "): " + text;
}

} // namespace kestrova::app

#pragma once

#include <cstdint>
#include <string>

namespace kestrova::app {

// Where a camera's play stands, as the host tells the user.
enum class CameraState {
    NoCamera,      // nothing opened yet
    Connecting,    // login accepted, no picture yet
    Playing,       // pictures arrive
    Stalled,       // the stream is open but pictures stopped coming
    Reconnecting,  // the stream ended and the control starts it again
    CannotConnect, // the camera did not answer or refused the connection
    LoginRefused,  // the camera refused the user name or password
    Busy,          // the camera has too many viewers
    Stopped,       // the user stopped the play
};

struct StateInfo {
    CameraState state = CameraState::NoCamera;
    std::string hostPort; // "HOST:PORT"
    std::string reason;   // why a connection failed ("connection refused"), may be empty
    int attempt = 0;      // reconnect attempts since the last picture
};

// One sentence for the picture area and the status bar.
std::string StateText(const StateInfo& info);
// True for the states that show over the picture (every state but Playing).
bool StateCoversPicture(CameraState state);

// The engine's own words about a play, as a host prints them: a notice (code 0) as it
// stands, the end of a stream with its result code in front.
std::string EngineTextLine(int code, const std::string& text);

// "1.4 MB", "830 kB", "12 B".
std::string FormatSize(uint64_t bytes);
// "0:07", "12:03", "1:02:03".
std::string FormatElapsed(int64_t seconds);
// "640x480 · 25.0 pictures/s · 812 kbit/s" pieces, each empty when unknown.
std::string FormatPictureSize(int width, int height);
std::string FormatRate(double picturesPerSecond);
std::string FormatBitRate(double kbitPerSecond);

} // namespace kestrova::app

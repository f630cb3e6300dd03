#pragma once

#include <array>
#include <string>
#include <string_view>

namespace kestrova::net {

enum class HttpMethod { Get, Post };

enum class EndpointId {
    LoginQuery,        // viewer: rights and login check
    StreamQuery,       // viewer: which stream the camera sends
    MJpegStream,       // viewer: Motion-JPEG in the camera's record framing
    AsfStream,         // viewer: MPEG-4 video and G.726 audio in ASF
    PanTilt,           // viewer: move the camera
    MotionConfig,      // motion control: set-up command protocol
    Snapshot,          // motion control: one JPEG picture for the view mode
    MotionMJpegStream, // motion control: Motion-JPEG stream
    MotionAsfStream,   // motion control: ASF stream with motion levels
};

struct Endpoint {
    EndpointId id;
    std::string_view path; // appended to the base as it stands
    HttpMethod method;
    bool endlessBody; // a live stream read until stopped, not a one-shot answer
    std::string_view purpose;
};

// Every camera endpoint the two controls call. The viewer's base ends with "/" (the part
// of its source URL before the stream name); the motion control's base has no trailing
// slash, so its paths start with "/".
inline constexpr std::array<Endpoint, 9> kEndpoints{{
    {EndpointId::LoginQuery, "img/query.cgi", HttpMethod::Get, false,
     "login check; \"ptctrl=\" and \"ioctrl=\" rights lines"},
    {EndpointId::StreamQuery, "util/query.cgi", HttpMethod::Get, false,
     "\"type=\" (\"mpeg4\" selects ASF) and \"voice_out=\" lines"},
    {EndpointId::MJpegStream, "img/mjpeg.cgi", HttpMethod::Get, true,
     "Motion-JPEG records; optional \"?Speed=\" rate"},
    {EndpointId::AsfStream, "img/video.asf", HttpMethod::Get, true,
     "ASF stream: MPEG-4 video (stream 1), G.726 audio (stream 2)"},
    {EndpointId::PanTilt, "pt/ptctrl.cgi", HttpMethod::Get, false,
     "\"?position=pan,tilt,10\"; an empty answer means done"},
    {EndpointId::MotionConfig, "/ocxparser.cgi", HttpMethod::Post, false,
     "motion set-up commands \"COMMAND: ...\"; key lines in the answer"},
    {EndpointId::Snapshot, "/snap.jpg", HttpMethod::Post, false,
     "\"COMMAND: MOT_READ_VIEW\" answered by one JPEG picture"},
    {EndpointId::MotionMJpegStream, "/img/mjpeg.cgi", HttpMethod::Get, true,
     "Motion-JPEG stream of the motion control"},
    {EndpointId::MotionAsfStream, "/img/video.asf", HttpMethod::Get, true,
     "ASF stream of the motion control; motion levels in packet padding"},
}};

const Endpoint& GetEndpoint(EndpointId id);

// base + the endpoint's path.
std::string EndpointUrl(std::string_view base, EndpointId id);

// The viewer's base: the part of its source URL before the first "img/video.asf" (ASF) or
// "img/mjpeg.cgi" (otherwise); empty when the name does not occur.
std::string ViewerBase(std::string_view sourceUrl, bool asf);

// The Motion-JPEG URL for a frame rate: unchanged for "" and "Fast", else with
// "?Speed=" and the rate.
std::string MJpegUrlWithSpeed(std::string_view mjpegUrl, std::string_view frameRate);

// The pan/tilt request: panTiltUrl + "?position=<pan>,<tilt>,10".
std::string PanTiltPositionUrl(std::string_view panTiltUrl, int pan, int tilt);

// The motion control's snapshot request body.
inline constexpr std::string_view kSnapshotRequestBody = "COMMAND: MOT_READ_VIEW\r\n\r\n";

} // namespace kestrova::net

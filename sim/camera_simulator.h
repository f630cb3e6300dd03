// The simulated network camera: a real HTTP server on loopback that answers
// every endpoint the controls call, with live synthetic video and audio.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kestrova::sim {

enum class StreamType { Mpeg4, Jpeg };

struct SimOptions {
    std::string host = "127.0.0.1";
    uint16_t port = 0; // 0 = pick a free port
    std::string user = "admin";
    std::string password = "admin"; // "~" from a client counts as the empty password
    int width = 320, height = 240, fps = 15;
    StreamType streamType = StreamType::Mpeg4; // what util/query.cgi reports as "type="
    int audioBits = 4;                         // G.726 code size 2..5, 0 = no audio
    int maxStreams = 4;                        // open streams allowed before the busy page
    std::string fault;                         // fault mode name, "" = none

    // MPEG-4 encoder.
    int gop = 30;           // frames between key frames
    int quantiser = 6;      // fixed quantiser 2..31
    bool fourMv = false;    // allow four motion vectors per macroblock
    bool cameraForm = true; // 14-byte layer header, no group_of_vop headers
    int jpegQuality = 75;

    // Stream layout.
    int asfPacketSize = 2048;    // fixed ASF data packet size (at most 4096)
    int mjpegRecordBytes = 4096; // largest video payload per Motion-JPEG record

    // Query page values.
    std::string ptctrl = "on";
    std::string ioctrl = "on";
    std::string voiceOut = "on";

    // Motion set-up persistence: JSON file read at start and written on every save.
    std::string motionFile;
    bool motionBusy = false; // "/ocxparser.cgi" and "/snap.jpg" answer the 403 page

    int trickleDelayMs = 2; // pause between bytes in the "trickle" fault
};

class Server;

class CameraSimulator {
public:
    explicit CameraSimulator(SimOptions options);
    ~CameraSimulator(); // stops
    CameraSimulator(const CameraSimulator&) = delete;
    CameraSimulator& operator=(const CameraSimulator&) = delete;

    bool Start(std::string* error = nullptr);
    void Stop();
    uint16_t Port() const;
    std::string BaseUrl() const; // "http://127.0.0.1:PORT/"
    // Switches the fault mode for requests that arrive from now on; false for an unknown name.
    bool SetFault(std::string_view name);
    std::string StatusJson() const; // what "/status" serves
    const SimOptions& Options() const;

private:
    std::unique_ptr<Server> server_;
};

// Fault mode names the simulator knows ("" is none).
bool IsKnownFault(std::string_view name);

} // namespace kestrova::sim

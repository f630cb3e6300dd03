// camsim: runs the simulated camera until interrupted.
#include "sim/camera_simulator.h"
#include "sim/faults.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

using kestrova::sim::CameraSimulator;
using kestrova::sim::SimOptions;
using kestrova::sim::StreamType;

namespace {

std::atomic<bool> gQuit{false};
void OnSignal(int) {
    gQuit = true;
}

void Usage(FILE* to) {
    std::fprintf(to,
                 "usage: camsim [options]\n"
                 "  --host ADDR          IPv4 address to listen on (default 127.0.0.1)\n"
                 "  --port N             port, 0 picks a free one (default 0)\n"
                 "  --user NAME          user name (default admin)\n"
                 "  --password TEXT      password (default admin; \"~\" counts as empty)\n"
                 "  --size WxH           picture size (default 320x240)\n"
                 "  --fps N              frame rate (default 15)\n"
                 "  --stream-type T      mpeg4 or jpeg, as util/query.cgi reports it\n"
                 "  --audio-bits N       G.726 code size 2..5, 0 for no audio (default 4)\n"
                 "  --max-streams N      streams before the busy page (default 4)\n"
                 "  --gop N              frames between key frames (default 30)\n"
                 "  --quantiser N        MPEG-4 quantiser 2..31 (default 6)\n"
                 "  --4mv                allow four motion vectors per macroblock\n"
                 "  --encoder-headers    send the encoder's own stream headers, not the\n"
                 "                       camera's 14-byte layer header form\n"
                 "  --jpeg-quality N     JPEG quality (default 75)\n"
                 "  --packet-size N      ASF data packet size 256..4096 (default 2048)\n"
                 "  --ptctrl V --ioctrl V --voice-out V   query page values (default on)\n"
                 "  --motion-file PATH   keep the motion set-up in this JSON file\n"
                 "  --motion-busy        motion commands and snapshots answer 403\n"
                 "  --fault NAME         fault mode (switch at run time with\n"
                 "                       GET /status?fault=NAME); one of:\n                      ");
    for (auto name : kestrova::sim::FaultNames())
        std::fprintf(to, " %.*s", static_cast<int>(name.size()), name.data());
    std::fprintf(to, "\n  --help               this text\n");
}

bool ParseInt(const char* text, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end != '\0' || end == text || v < -1000000 || v > 1000000)
        return false;
    out = static_cast<int>(v);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    SimOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "camsim: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        auto number = [&](int& target) {
            const char* v = value();
            if (!ParseInt(v, target)) {
                std::fprintf(stderr, "camsim: %s: not a number: %s\n", arg.c_str(), v);
                std::exit(2);
            }
        };
        int port = 0;
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else if (arg == "--host") {
            o.host = value();
        } else if (arg == "--port") {
            number(port);
            if (port < 0 || port > 65535) {
                std::fprintf(stderr, "camsim: --port must be 0 to 65535\n");
                return 2;
            }
            o.port = static_cast<uint16_t>(port);
        } else if (arg == "--user") {
            o.user = value();
        } else if (arg == "--password") {
            o.password = value();
        } else if (arg == "--size") {
            const std::string v = value();
            if (std::sscanf(v.c_str(), "%dx%d", &o.width, &o.height) != 2) {
                std::fprintf(stderr, "camsim: --size wants WxH, e.g. 320x240\n");
                return 2;
            }
        } else if (arg == "--fps") {
            number(o.fps);
        } else if (arg == "--stream-type") {
            const std::string v = value();
            if (v == "mpeg4")
                o.streamType = StreamType::Mpeg4;
            else if (v == "jpeg")
                o.streamType = StreamType::Jpeg;
            else {
                std::fprintf(stderr, "camsim: --stream-type is mpeg4 or jpeg\n");
                return 2;
            }
        } else if (arg == "--audio-bits") {
            number(o.audioBits);
        } else if (arg == "--max-streams") {
            number(o.maxStreams);
        } else if (arg == "--gop") {
            number(o.gop);
        } else if (arg == "--quantiser") {
            number(o.quantiser);
        } else if (arg == "--4mv") {
            o.fourMv = true;
        } else if (arg == "--encoder-headers") {
            o.cameraForm = false;
        } else if (arg == "--jpeg-quality") {
            number(o.jpegQuality);
        } else if (arg == "--packet-size") {
            number(o.asfPacketSize);
        } else if (arg == "--ptctrl") {
            o.ptctrl = value();
        } else if (arg == "--ioctrl") {
            o.ioctrl = value();
        } else if (arg == "--voice-out") {
            o.voiceOut = value();
        } else if (arg == "--motion-file") {
            o.motionFile = value();
        } else if (arg == "--motion-busy") {
            o.motionBusy = true;
        } else if (arg == "--fault") {
            o.fault = value();
        } else {
            std::fprintf(stderr, "camsim: unknown option %s (see --help)\n", arg.c_str());
            return 2;
        }
    }

    CameraSimulator sim(o);
    std::string error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "camsim: %s\n", error.c_str());
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("camsim listening on %s (user \"%s\")\n", sim.BaseUrl().c_str(), o.user.c_str());
    std::fflush(stdout);
    while (!gQuit)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    sim.Stop();
    return 0;
}

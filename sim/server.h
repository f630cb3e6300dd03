// The HTTP side of the simulator: a libmicrohttpd daemon with one thread per
// connection, so endless streams never hold up other clients.
#pragma once

#include "camera_simulator.h"
#include "faults.h"
#include "motion_store.h"
#include "pan_tilt.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct MHD_Daemon;
struct MHD_Connection;

namespace kestrova::sim {

class StreamSource;

// One stream served since the start, for the status page.
struct StreamRecord {
    int id = 0;
    std::string path;
    std::atomic<bool> open{true};
    std::atomic<uint64_t> bytesSent{0};
    std::atomic<int64_t> frames{0};
};

struct Request {
    MHD_Connection* connection = nullptr;
    std::string method, path;
    std::string body;
    bool bodyTooLarge = false;
    bool counted = false;
};

class Server {
public:
    static constexpr size_t kMaxBody = 64 * 1024;

    explicit Server(SimOptions options);
    ~Server();

    bool Start(std::string* error);
    void Stop();
    uint16_t Port() const { return port_; }
    const SimOptions& Options() const { return options_; }
    bool SetFault(std::string_view name);
    Fault CurrentFault() const;
    bool Stopping() const { return stopping_.load(); }
    std::string StatusJson() const;

    // libmicrohttpd entry points.
    int HandleRequest(Request& request, const char* uploadData, size_t* uploadSize);
    void ConnectionOpened() { ++connectionsOpen_; }
    void ConnectionClosed() { --connectionsOpen_; }
    void StreamEnded(StreamRecord& record);

private:
    int Route(Request& request);
    int ServeStatus(Request& request);
    int ServeStream(Request& request, bool asf, Fault fault);
    int ServePanTilt(Request& request);
    int ServeOcx(Request& request, Fault fault);
    int ServeSnapshot(Request& request, Fault fault);
    bool Authorized(MHD_Connection* connection) const;
    void CountRequest(const std::string& path);

    SimOptions options_;
    MotionStore motion_;
    MHD_Daemon* daemon_ = nullptr;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connectionsOpen_{0};
    std::chrono::steady_clock::time_point started_;

    mutable std::mutex mutex_; // everything below
    Fault fault_ = Fault::None;
    int openStreams_ = 0;
    int nextStreamId_ = 1;
    std::vector<std::shared_ptr<StreamRecord>> streams_;
    std::map<std::string, int64_t> requests_;
    int64_t requestsTotal_ = 0;
    int64_t refused401_ = 0, refused503_ = 0;
    std::optional<PanTiltPosition> lastPanTilt_;
    int64_t panTiltRequests_ = 0;
};

} // namespace kestrova::sim

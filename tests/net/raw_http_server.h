#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kestrova::net::test {

// One request as it arrived on the wire.
struct ReceivedRequest {
    std::string requestLine;
    std::vector<std::string> headerLines;
    std::string body;

    // Value of the first header with this name (case-insensitive), or "" when absent.
    std::string Header(std::string_view name) const;
    bool HasHeader(std::string_view name) const;
};

// A loopback HTTP server with byte-level control: every connection's request is parsed,
// recorded, and handed to the handler, which writes whatever bytes it likes to the socket.
// The connection is closed when the handler returns.
class RawHttpServer {
public:
    using Handler = std::function<void(int fd, const ReceivedRequest& request)>;

    explicit RawHttpServer(Handler handler);
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    int Port() const { return port_; }
    std::string Url(std::string_view path = "/") const;
    std::vector<ReceivedRequest> Requests() const;
    int Connections() const;

    // For handlers that stall: waits up to `limit`, returns early (true) once the server stops.
    bool WaitForStop(std::chrono::milliseconds limit);

private:
    void AcceptLoop();
    void Serve(int fd);

    Handler handler_;
    int listenFd_ = -1;
    int port_ = 0;
    int wakePipe_[2] = {-1, -1};
    std::thread acceptThread_;

    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    std::set<int> clients_;
    std::vector<std::thread> workers_;
    std::vector<ReceivedRequest> requests_;
    int connections_ = 0;
};

// Writes all of `data`; false when the peer went away.
bool SendAll(int fd, std::string_view data);
// A status line and headers ending with the blank line.
std::string ResponseHead(std::string_view statusLine, std::vector<std::string> headers = {});
// One chunk of a chunked body.
std::string Chunk(std::string_view data);
// Bytes whose value depends on their offset, so a reordered or lost piece shows.
std::string Pattern(std::size_t length, std::size_t offset = 0);

} // namespace kestrova::net::test

#include "server.h"

#include <arpa/inet.h>
#include <cstring>
#include <microhttpd.h>
#include <netinet/in.h>

namespace kestrova::sim {

namespace {

MHD_Result AccessHandler(void* cls, MHD_Connection* connection, const char* url, const char* method,
                         const char* /*version*/, const char* uploadData, size_t* uploadSize,
                         void** reqCls) {
    auto* server = static_cast<Server*>(cls);
    auto* request = static_cast<Request*>(*reqCls);
    if (!request) {
        request = new Request;
        request->connection = connection;
        request->method = method ? method : "";
        // "//img/query.cgi" (a base URL with its slash plus a path with one) is the same page.
        for (const char* c = url ? url : ""; *c; ++c)
            if (!(*c == '/' && !request->path.empty() && request->path.back() == '/'))
                request->path += *c;
        *reqCls = request;
        return MHD_YES; // the first call only announces the request
    }
    return server->HandleRequest(*request, uploadData, uploadSize) ? MHD_YES : MHD_NO;
}

void RequestCompleted(void* /*cls*/, MHD_Connection* /*connection*/, void** reqCls,
                      MHD_RequestTerminationCode /*code*/) {
    delete static_cast<Request*>(*reqCls);
    *reqCls = nullptr;
}

void ConnectionNotify(void* cls, MHD_Connection* /*connection*/, void** /*socketContext*/,
                      MHD_ConnectionNotificationCode code) {
    auto* server = static_cast<Server*>(cls);
    if (code == MHD_CONNECTION_NOTIFY_STARTED)
        server->ConnectionOpened();
    else
        server->ConnectionClosed();
}

} // namespace

Server::Server(SimOptions options)
    : options_(std::move(options)), motion_(options_.motionFile),
      started_(std::chrono::steady_clock::now()) {
    if (auto f = ParseFault(options_.fault))
        fault_ = *f;
}

Server::~Server() {
    Stop();
}

bool Server::Start(std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    if (daemon_)
        return fail("already running");
    if (!ParseFault(options_.fault))
        return fail("unknown fault mode \"" + options_.fault + "\"");
    if (options_.width < 16 || options_.height < 16 || options_.width > 2048 ||
        options_.height > 2048 || options_.width % 2 || options_.height % 2)
        return fail("picture size must be even, 16x16 to 2048x2048");
    if (options_.fps < 1 || options_.fps > 60)
        return fail("frame rate must be 1 to 60");
    if (options_.audioBits != 0 && (options_.audioBits < 2 || options_.audioBits > 5))
        return fail("audio bits must be 2 to 5, or 0 for none");
    if (options_.asfPacketSize < 256 || options_.asfPacketSize > 4096)
        return fail("ASF packet size must be 256 to 4096");
    if (options_.quantiser < 2 || options_.quantiser > 31)
        return fail("quantiser must be 2 to 31");
    if (options_.gop < 1)
        return fail("GOP must be at least 1");
    if (options_.jpegQuality < 1 || options_.jpegQuality > 100)
        return fail("JPEG quality must be 1 to 100");
    if (options_.maxStreams < 0)
        return fail("the stream limit cannot be negative");
    if (options_.trickleDelayMs < 0 || options_.trickleDelayMs > 10000)
        return fail("trickle delay must be 0 to 10000 ms");
    if (options_.mjpegRecordBytes < 1 || options_.mjpegRecordBytes > 65535)
        return fail("Motion-JPEG record size must be 1 to 65535");
    if (!motion_.LoadError().empty())
        return fail("motion set-up file " + options_.motionFile + ": " + motion_.LoadError());

    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(options_.port);
    if (inet_pton(AF_INET, options_.host.c_str(), &addr.sin_addr) != 1)
        return fail("host must be an IPv4 address: " + options_.host);

    stopping_ = false;
    daemon_ = MHD_start_daemon(
        MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD, options_.port, nullptr,
        nullptr, &AccessHandler, this, MHD_OPTION_SOCK_ADDR, &addr, MHD_OPTION_NOTIFY_COMPLETED,
        &RequestCompleted, this, MHD_OPTION_NOTIFY_CONNECTION, &ConnectionNotify, this,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<size_t>(128 * 1024),
        MHD_OPTION_CONNECTION_LIMIT, 64u, MHD_OPTION_END);
    if (!daemon_)
        return fail("cannot listen on " + options_.host + ":" + std::to_string(options_.port));
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
    port_ = info ? info->port : options_.port;
    return true;
}

void Server::Stop() {
    if (!daemon_)
        return;
    stopping_ = true; // paced streams and stalls notice within one slice
    MHD_stop_daemon(daemon_);
    daemon_ = nullptr;
}

bool Server::SetFault(std::string_view name) {
    auto f = ParseFault(name);
    if (!f)
        return false;
    std::lock_guard lock(mutex_);
    fault_ = *f;
    return true;
}

Fault Server::CurrentFault() const {
    std::lock_guard lock(mutex_);
    return fault_;
}

void Server::StreamEnded(StreamRecord& record) {
    std::lock_guard lock(mutex_);
    record.open = false;
    --openStreams_;
}

} // namespace kestrova::sim

#include "net/raw_http_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrova::net::test {
namespace {

constexpr std::size_t kMaxRequestBytes = 1 << 20;

// The tests talk to loopback servers directly, whatever proxy the machine has configured.
const bool kProxyCleared = [] {
    for (const char* name :
         {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        unsetenv(name);
    return true;
}();

std::string Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return std::string(s);
}

// Reads until `have` holds at least `wanted` bytes or the peer stops; false on failure.
bool ReadMore(int fd, std::string& have) {
    char buffer[4096];
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0)
        return false;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0)
        return false;
    have.append(buffer, static_cast<std::size_t>(n));
    return have.size() < kMaxRequestBytes;
}

} // namespace

std::string ReceivedRequest::Header(std::string_view name) const {
    for (const std::string& line : headerLines) {
        const std::size_t colon = line.find(':');
        if (colon == name.size() && strncasecmp(line.data(), name.data(), name.size()) == 0)
            return Trim(std::string_view(line).substr(colon + 1));
    }
    return {};
}

bool ReceivedRequest::HasHeader(std::string_view name) const {
    for (const std::string& line : headerLines) {
        const std::size_t colon = line.find(':');
        if (colon == name.size() && strncasecmp(line.data(), name.data(), name.size()) == 0)
            return true;
    }
    return false;
}

RawHttpServer::RawHttpServer(Handler handler) : handler_(std::move(handler)) {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listenFd_, 16) != 0 || pipe(wakePipe_) != 0)
        throw std::runtime_error("test server cannot listen");
    socklen_t len = sizeof addr;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread(&RawHttpServer::AcceptLoop, this);
}

RawHttpServer::~RawHttpServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (int fd : clients_)
            shutdown(fd, SHUT_RDWR); // unblocks handlers stuck in send
    }
    stopped_.notify_all();
    [[maybe_unused]] ssize_t n = write(wakePipe_[1], "x", 1);
    acceptThread_.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(mutex_);
        workers.swap(workers_);
    }
    for (std::thread& t : workers)
        t.join();
    close(listenFd_);
    close(wakePipe_[0]);
    close(wakePipe_[1]);
}

std::string RawHttpServer::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<ReceivedRequest> RawHttpServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

int RawHttpServer::Connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

bool RawHttpServer::WaitForStop(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return stopped_.wait_for(lock, limit, [this] { return stopping_; });
}

void RawHttpServer::AcceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard lock(mutex_);
        if (stopping_) {
            close(fd);
            return;
        }
        ++connections_;
        clients_.insert(fd);
        workers_.emplace_back(&RawHttpServer::Serve, this, fd);
    }
}

void RawHttpServer::Serve(int fd) {
    std::string raw;
    std::size_t headEnd;
    bool ok = true;
    while ((headEnd = raw.find("\r\n\r\n")) == std::string::npos && (ok = ReadMore(fd, raw))) {
    }
    if (ok) {
        ReceivedRequest request;
        std::string_view head(raw.data(), headEnd);
        std::size_t lineStart = 0;
        while (lineStart <= head.size()) {
            std::size_t lineEnd = head.find("\r\n", lineStart);
            if (lineEnd == std::string_view::npos)
                lineEnd = head.size();
            std::string line(head.substr(lineStart, lineEnd - lineStart));
            if (request.requestLine.empty())
                request.requestLine = line;
            else
                request.headerLines.push_back(line);
            lineStart = lineEnd + 2;
        }
        const std::string lengthText = request.Header("Content-Length");
        const std::size_t length = lengthText.empty() ? 0 : std::stoul(lengthText);
        const std::size_t bodyStart = headEnd + 4;
        while (raw.size() < bodyStart + length && ReadMore(fd, raw)) {
        }
        request.body = raw.substr(bodyStart, length);
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        handler_(fd, request);
    }
    {
        std::lock_guard lock(mutex_);
        clients_.erase(fd);
    }
    shutdown(fd, SHUT_WR);
    close(fd);
}

bool SendAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string ResponseHead(std::string_view statusLine, std::vector<std::string> headers) {
    std::string head(statusLine);
    head += "\r\n";
    for (const std::string& h : headers)
        head += h + "\r\n";
    head += "\r\n";
    return head;
}

std::string Chunk(std::string_view data) {
    char size[32];
    snprintf(size, sizeof size, "%zx\r\n", data.size());
    return size + std::string(data) + "\r\n";
}

std::string Pattern(std::size_t length, std::size_t offset) {
    std::string s(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        const std::size_t k = offset + i;
        s[i] = static_cast<char>((k * 7 + (k >> 8) * 13 + 1) & 0xFF);
    }
    return s;
}

} // namespace kestrova::net::test

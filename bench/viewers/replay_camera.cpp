#include "viewers/replay_camera.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <new>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kestrova::bench {

namespace {

constexpr std::size_t kRecordCapacity = std::size_t{64} << 20; // per path

std::string Base64(const std::string& in) {
    static const char* kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    uint32_t acc = 0;
    int bits = 0;
    for (unsigned char c : in) {
        acc = (acc << 8) | c;
        bits += 8;
        while (bits >= 6) {
            bits -= 6;
            out += kAlphabet[(acc >> bits) & 63];
        }
    }
    if (bits > 0)
        out += kAlphabet[(acc << (6 - bits)) & 63];
    while (out.size() % 4)
        out += '=';
    return out;
}

bool SendAll(int fd, const uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void SleepUntilNs(int64_t ns) {
    std::this_thread::sleep_until(
        std::chrono::steady_clock::time_point(std::chrono::nanoseconds(ns)));
}

int ConnectLoopback(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

struct ReplayCamera::Shared {
    std::atomic<int> state{0}; // 0 starting, 1 serving, 2 failed
    char error[256]{};
    uint16_t port = 0;
    int pathCount = 0;
    struct Rec {
        uint32_t size = 0;
        uint32_t chunkCount = 0;
        uint32_t bodyStart = 0;
    } recs[kMaxPaths];
    struct Conn {
        std::atomic<int> sent{0};
        int64_t sendNs[kMaxChunks];
    } conns[kMaxConnections];
    Recording::Chunk chunks[kMaxPaths][kMaxChunks];

    uint8_t* Data(int path) {
        return reinterpret_cast<uint8_t*>(this + 1) +
               static_cast<std::size_t>(path) * kRecordCapacity;
    }
    void Fail(const std::string& text) {
        std::snprintf(error, sizeof error, "%s", text.c_str());
        state.store(2);
    }
};

namespace {

using Shared = ReplayCamera::Shared;

// Child: reads one stream of the simulator for `seconds`, keeping every chunk and its time.
bool RecordStream(Shared& sh, int index, uint16_t port, const std::string& path,
                  const sim::SimOptions& cam, int seconds) {
    const int fd = ConnectLoopback(port);
    if (fd < 0)
        return false;
    const std::string request = "GET /" + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" +
                                "Authorization: Basic " + Base64(cam.user + ":" + cam.password) +
                                "\r\n\r\n";
    if (!SendAll(fd, reinterpret_cast<const uint8_t*>(request.data()), request.size())) {
        close(fd);
        return false;
    }
    uint8_t* data = sh.Data(index);
    auto& rec = sh.recs[index];
    const int64_t end = NowNs() + int64_t{seconds} * 1000000000;
    int64_t first = -1;
    while (NowNs() < end && rec.chunkCount < ReplayCamera::kMaxChunks) {
        const std::size_t room = kRecordCapacity - rec.size;
        if (room == 0)
            break;
        const ssize_t n = recv(fd, data + rec.size, std::min<std::size_t>(room, 65536), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        const int64_t now = NowNs();
        if (first < 0)
            first = now;
        sh.chunks[index][rec.chunkCount++] = {rec.size, static_cast<uint32_t>(n), now - first};
        rec.size += static_cast<uint32_t>(n);
    }
    close(fd);
    const void* headerEnd = memmem(data, rec.size, "\r\n\r\n", 4);
    if (!headerEnd || std::memcmp(data, "HTTP/1.", 7) != 0 || std::memcmp(data + 9, "200", 3))
        return false;
    rec.bodyStart = static_cast<uint32_t>(static_cast<const uint8_t*>(headerEnd) - data + 4);
    return rec.chunkCount > 1;
}

// Child: one replay connection. The request names the path and, after "slot=", the log slot.
void Serve(Shared& sh, int fd, std::vector<std::string> paths) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::string request;
    char buf[2048];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            close(fd);
            return;
        }
        request.append(buf, static_cast<std::size_t>(n));
    }
    const int64_t start = NowNs();
    int index = -1;
    for (int i = 0; i < static_cast<int>(paths.size()); ++i) {
        if (request.compare(0, 5 + paths[i].size(), "GET /" + paths[i]) == 0)
            index = i;
    }
    int slot = -1;
    const std::size_t at = request.find("slot=");
    const std::size_t lineEnd = request.find("\r\n");
    if (at != std::string::npos && at < lineEnd)
        slot = std::atoi(request.c_str() + at + 5);
    // A request without a slot (a program that keeps only the path) is served unlogged.
    if (index < 0 || slot >= ReplayCamera::kMaxConnections) {
        static const char kNotFound[] = "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        SendAll(fd, reinterpret_cast<const uint8_t*>(kNotFound), sizeof kNotFound - 1);
        close(fd);
        return;
    }
    const auto& rec = sh.recs[index];
    const uint8_t* data = sh.Data(index);
    const auto unlogged = std::make_unique<Shared::Conn>();
    auto& conn = slot >= 0 ? sh.conns[slot] : *unlogged;
    conn.sent.store(0);
    for (uint32_t i = 0; i < rec.chunkCount; ++i) {
        const Recording::Chunk& c = sh.chunks[index][i];
        SleepUntilNs(start + c.atNs);
        const int64_t now = NowNs();
        if (!SendAll(fd, data + c.offset, c.length))
            break;
        conn.sendNs[i] = now;
        conn.sent.store(static_cast<int>(i + 1), std::memory_order_release);
    }
    shutdown(fd, SHUT_RDWR);
    close(fd);
}

[[noreturn]] void ChildMain(Shared& sh, const ReplayOptions& o) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (o.cpu >= 0)
        PinToCpu(o.cpu);
    {
        sim::CameraSimulator camera(o.camera);
        std::string why;
        if (!camera.Start(&why)) {
            sh.Fail("camera simulator: " + why);
            _exit(1);
        }
        std::vector<std::thread> recorders;
        std::vector<char> ok(o.paths.size(), 0);
        for (std::size_t i = 0; i < o.paths.size(); ++i)
            recorders.emplace_back([&, i] {
                ok[i] = RecordStream(sh, static_cast<int>(i), camera.Port(), o.paths[i], o.camera,
                                     o.recordSeconds);
            });
        for (auto& t : recorders)
            t.join();
        for (std::size_t i = 0; i < o.paths.size(); ++i) {
            if (!ok[i]) {
                sh.Fail("could not record " + o.paths[i]);
                _exit(1);
            }
        }
    }
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listener, 128) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        sh.Fail("cannot listen on loopback");
        _exit(1);
    }
    sh.port = ntohs(addr.sin_port);
    sh.state.store(1);
    for (;;) {
        const int fd = accept(listener, nullptr, nullptr);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            _exit(0);
        }
        std::thread(Serve, std::ref(sh), fd, o.paths).detach();
    }
}

} // namespace

ReplayOptions Replay640x480At30(std::vector<std::string> paths, int recordSeconds) {
    ReplayOptions o;
    o.camera.width = 640;
    o.camera.height = 480;
    o.camera.fps = 30;
    o.paths = std::move(paths);
    o.recordSeconds = recordSeconds;
    return o;
}

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool PinToCpu(int cpu) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
}

std::vector<int> AllowedCpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    std::vector<int> cpus;
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return cpus;
    for (int i = 0; i < CPU_SETSIZE; ++i) {
        if (CPU_ISSET(i, &set))
            cpus.push_back(i);
    }
    return cpus;
}

ReplayCamera::~ReplayCamera() {
    Stop();
}

bool ReplayCamera::Start(const ReplayOptions& options, std::string* error) {
    auto fail = [&](const std::string& text) {
        if (error)
            *error = text;
        Stop();
        return false;
    };
    if (options.paths.empty() || options.paths.size() > kMaxPaths)
        return fail("one to four stream paths");
    sharedSize_ = sizeof(Shared) + kMaxPaths * kRecordCapacity;
    void* mem = mmap(nullptr, sharedSize_, PROT_READ | PROT_WRITE,
                     MAP_SHARED | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mem == MAP_FAILED) {
        shared_ = nullptr;
        return fail("no shared memory");
    }
    shared_ = new (mem) Shared();
    shared_->pathCount = static_cast<int>(options.paths.size());
    paths_ = options.paths;
    std::fflush(nullptr);
    child_ = fork();
    if (child_ < 0)
        return fail("fork failed");
    if (child_ == 0)
        ChildMain(*shared_, options);

    const int64_t deadline = NowNs() + int64_t{options.recordSeconds + 30} * 1000000000;
    while (shared_->state.load() == 0) {
        int status = 0;
        if (waitpid(child_, &status, WNOHANG) == child_) {
            child_ = -1;
            return fail(shared_->error[0] ? shared_->error : "camera process ended");
        }
        if (NowNs() > deadline)
            return fail("camera process did not get ready");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (shared_->state.load() != 1)
        return fail(shared_->error);
    for (int i = 0; i < shared_->pathCount; ++i) {
        const auto& rec = shared_->recs[i];
        Recording r;
        r.bytes = std::span<const uint8_t>(shared_->Data(i), rec.size);
        r.chunks = std::span<const Recording::Chunk>(shared_->chunks[i], rec.chunkCount);
        r.bodyStart = rec.bodyStart;
        recordings_.push_back(r);
    }
    return true;
}

void ReplayCamera::Stop() {
    if (child_ > 0) {
        kill(child_, SIGKILL);
        waitpid(child_, nullptr, 0);
        child_ = -1;
    }
    recordings_.clear();
    if (shared_) {
        shared_->~Shared();
        munmap(shared_, sharedSize_);
        shared_ = nullptr;
    }
}

std::string ReplayCamera::BaseUrl() const {
    return shared_ ? "http://127.0.0.1:" + std::to_string(shared_->port) + "/" : std::string();
}

std::string ReplayCamera::UrlFor(int pathIndex, int slot) const {
    return BaseUrl() + paths_.at(pathIndex) + "?slot=" + std::to_string(slot);
}

std::vector<int64_t> ReplayCamera::SendTimes(int slot) const {
    if (!shared_ || slot < 0 || slot >= kMaxConnections)
        return {};
    const auto& conn = shared_->conns[slot];
    const int n = conn.sent.load(std::memory_order_acquire);
    return std::vector<int64_t>(conn.sendNs, conn.sendNs + n);
}

} // namespace kestrova::bench

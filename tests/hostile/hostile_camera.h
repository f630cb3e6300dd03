#pragma once

// A camera that misbehaves on purpose: a real loopback HTTP server that answers the
// endpoints the controls call, each behaviour from one table breaking one rule of the
// camera's wire formats (lying sizes, truncations, floods, slow senders, bombs).

#include "net/raw_http_server.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrova::hostile {

using Handler = net::test::RawHttpServer::Handler;

// Which program meets the behaviour, and how.
enum class Host {
    ViewerJpeg,  // kestrova on the Motion-JPEG stream
    ViewerMpeg4, // kestrova on the ASF stream
    MotionView,  // wardline --mode view: set-up read and snapshot
    MotionAreas, // wardline watching its areas over the live ASF stream
};

// What the user must see: the exit status, a text on stderr, and a text that must not
// appear there (e.g. a restart for damage that is only cosmetic).
struct Expectation {
    bool exitsZero;
    std::string says;
    std::string neverSays;
};

class HostileCamera;

// The handlers of one behaviour; an empty one serves the well-behaved answer.
struct Routes {
    Handler login{};    // /img/query.cgi
    Handler mjpeg{};    // /img/mjpeg.cgi
    Handler asf{};      // /img/video.asf
    Handler snapshot{}; // /snap.jpg
};

struct Behaviour {
    std::string name;
    std::string what;
    Host host;
    Expectation expect;
    std::function<Routes(HostileCamera&)> routes;
};

const std::vector<Behaviour>& Behaviours();
const Behaviour* FindBehaviour(const std::string& name);

class HostileCamera {
public:
    explicit HostileCamera(const Behaviour& behaviour);
    ~HostileCamera();

    // "http://127.0.0.1:PORT/"
    std::string Base() const;
    int Connections() const { return server_->Connections(); }

    // Sleeps up to `ms`; true when the server is stopping (a handler then returns).
    bool Pause(int ms) const;
    // Sends an HTTP/1.0 200 head and then `next(i)` for i = 0, 1, ... every `periodMs`
    // until the client goes, the server stops, or `next` returns nothing.
    void Stream(int fd, const std::function<std::vector<uint8_t>(int)>& next, int periodMs,
                const char* type = "application/octet-stream") const;
    // Sends `bytes` a few at a time, `everyMs` apart.
    void Trickle(int fd, const std::string& bytes, std::size_t step, int everyMs) const;

private:
    void Serve(int fd, const net::test::ReceivedRequest& request);

    const Behaviour& behaviour_;
    Routes routes_;
    std::unique_ptr<net::test::RawHttpServer> server_;
};

} // namespace kestrova::hostile

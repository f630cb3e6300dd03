#include "hostile/hostile_camera.h"

#include "hostile/hostile_media.h"

#include <algorithm>
#include <random>
#include <string_view>

namespace kestrova::hostile {
namespace {

using net::test::ReceivedRequest;
using net::test::ResponseHead;
using net::test::SendAll;

std::string_view View(const Bytes& b) {
    return {reinterpret_cast<const char*>(b.data()), b.size()};
}

void Answer(int fd, std::string_view body, std::string_view type = "text/plain") {
    SendAll(fd, ResponseHead("HTTP/1.0 200 OK", {"Content-Type: " + std::string(type)}));
    SendAll(fd, body);
}

// Pictures made once per process.
struct Pictures {
    Bytes frame = EncodeJpeg(320, 240, false);
    Bytes snapshot = EncodeJpeg(640, 480, false);
    Bytes scanBomb = WithScans(EncodeJpeg(320, 240, true), 3000);
    Bytes hugeHeader = WithFrameSize(frame, 8192, 8192);
    Bytes cut = CutInsideScan(frame, 0.5);
    Bytes stray = WithStrayMarker(frame);
};

const Pictures& Pics() {
    static const Pictures pictures;
    return pictures;
}

// A Motion-JPEG stream whose i-th frame is `frame(i)`, ten a second.
Handler MJpegOf(HostileCamera& cam, std::function<Bytes(int)> frame) {
    return [&cam, frame](int fd, const ReceivedRequest&) {
        cam.Stream(
            fd, [&](int i) { return frame(i); }, 100);
    };
}

Handler MJpegFrames(HostileCamera& cam, Bytes picture) {
    return MJpegOf(cam, [picture](int i) { return MJpegVideo(picture, 100u * i); });
}

// An ASF stream: the head, then every picture of the test clip in turn, 25 a second; each
// object's packets may be rewritten by `edit`.
Handler AsfOf(HostileCamera& cam, AsfOptions options,
              std::function<std::vector<Bytes>(int i, std::vector<Bytes>)> edit = {}) {
    return [&cam, options, edit](int fd, const ReceivedRequest&) {
        const Mpeg4Clip& clip = TestClip();
        cam.Stream(
            fd,
            [&](int i) -> Bytes {
                if (i == 0)
                    return AsfHead(clip, options);
                const int n = (i - 1) % static_cast<int>(clip.frames.size());
                auto packets = AsfObject(clip.frames[n], 40u * (i - 1), n % 5 == 0, options);
                if (edit)
                    packets = edit(i, std::move(packets));
                Bytes out;
                for (const Bytes& p : packets)
                    out.insert(out.end(), p.begin(), p.end());
                return out;
            },
            40);
    };
}

Handler Text(std::string body) {
    return [body](int fd, const ReceivedRequest&) { Answer(fd, body, "text/html"); };
}

Handler Picture(Bytes jpeg) {
    return [jpeg](int fd, const ReceivedRequest&) { Answer(fd, View(jpeg), "image/jpeg"); };
}

const Expectation kPlays{true, "", "stream ended"};
const Expectation kPlaysDespiteDamage{true, "", "(430)"};

Expectation Fails(std::string says) {
    return {false, std::move(says), ""};
}

std::vector<Behaviour> MakeTable() {
    using H = Host;
    return {
        {"jpeg-ok", "well-formed Motion-JPEG", H::ViewerJpeg, kPlays,
         [](HostileCamera&) { return Routes{}; }},
        {"jpeg-scan-bomb", "every frame a progressive JPEG of 3000 scans", H::ViewerJpeg,
         Fails("more than 64 scans"),
         [](HostileCamera& c) { return Routes{.mjpeg = MJpegFrames(c, Pics().scanBomb)}; }},
        {"jpeg-huge-picture", "frame header says 8192 x 8192", H::ViewerJpeg,
         Fails("The picture is 8192 x 8192"),
         [](HostileCamera& c) { return Routes{.mjpeg = MJpegFrames(c, Pics().hugeHeader)}; }},
        {"jpeg-cut-frames", "every frame cut halfway into its scan", H::ViewerJpeg,
         kPlaysDespiteDamage,
         [](HostileCamera& c) { return Routes{.mjpeg = MJpegFrames(c, Pics().cut)}; }},
        {"jpeg-stray-marker", "a restart marker inside every scan", H::ViewerJpeg,
         kPlaysDespiteDamage,
         [](HostileCamera& c) { return Routes{.mjpeg = MJpegFrames(c, Pics().stray)}; }},
        {"jpeg-zero-frames", "a frame of total size 0 before every frame", H::ViewerJpeg,
         kPlaysDespiteDamage,
         [](HostileCamera& c) {
             return Routes{.mjpeg = MJpegOf(c, [](int i) {
                               Bytes b = MJpegVideo({}, 0, 0);
                               const Bytes f = MJpegVideo(Pics().frame, 100u * i);
                               b.insert(b.end(), f.begin(), f.end());
                               return b;
                           })};
         }},
        {"jpeg-bad-tag", "records tagged JUNK", H::ViewerJpeg, Fails("(430): Header tag error."),
         [](HostileCamera& c) {
             return Routes{.mjpeg = MJpegOf(c, [](int i) {
                               return MJpegVideo(Pics().frame, 100u * i, -1, "JUNK");
                           })};
         }},
        {"jpeg-lying-total", "frame total size 0xFFFFFFF0", H::ViewerJpeg,
         Fails("Header frame size error."),
         [](HostileCamera& c) {
             return Routes{.mjpeg = MJpegOf(c, [](int i) {
                               return MJpegVideo(Pics().frame, 100u * i, 0xFFFFFFF0LL);
                           })};
         }},
        {"jpeg-lying-payload", "record payload longer than its frame", H::ViewerJpeg,
         Fails("Header payload length error."),
         [](HostileCamera& c) {
             return Routes{.mjpeg = MJpegOf(
                               c, [](int i) { return MJpegVideo(Pics().frame, 100u * i, 100); })};
         }},
        {"jpeg-truncated-stream",
         "two frames, half a record, then the connection closes",
         H::ViewerJpeg,
         {true, "(400)", "(430)"},
         [](HostileCamera& c) {
             return Routes{.mjpeg = MJpegOf(c, [](int i) {
                               Bytes f = MJpegVideo(Pics().frame, 100u * i);
                               if (i == 2)
                                   f.resize(f.size() / 2);
                               return i > 2 ? Bytes{} : f;
                           })};
         }},
        {"jpeg-garbage-flood", "endless random bytes", H::ViewerJpeg, Fails("(430): Header"),
         [](HostileCamera& c) {
             return Routes{.mjpeg = MJpegOf(c, [](int i) {
                               std::mt19937 random(static_cast<unsigned>(i));
                               Bytes b(64 * 1024);
                               for (auto& x : b)
                                   x = static_cast<uint8_t>(random());
                               return b;
                           })};
         }},
        {"jpeg-slow-sender", "a frame one byte every 5 ms", H::ViewerJpeg,
         Fails("no picture was drawn"),
         [](HostileCamera& c) {
             return Routes{.mjpeg = [&c](int fd, const ReceivedRequest&) {
                 SendAll(fd, ResponseHead("HTTP/1.0 200 OK"));
                 c.Trickle(fd, std::string(View(MJpegVideo(Pics().frame, 0))), 1, 5);
             }};
         }},
        {"jpeg-silent", "answers the stream's head, then nothing", H::ViewerJpeg,
         Fails("no picture was drawn"),
         [](HostileCamera& c) {
             return Routes{.mjpeg = [&c](int fd, const ReceivedRequest&) {
                 SendAll(fd, ResponseHead("HTTP/1.0 200 OK"));
                 c.Pause(60000);
             }};
         }},
        {"stream-busy-page", "the stream answers with the busy page", H::ViewerJpeg,
         Fails("message 1008"),
         [](HostileCamera&) {
             return Routes{.mjpeg = Text("<HTML><HEAD><TITLE>503 Service Unavailable</TITLE>"
                                         "</HEAD><BODY>busy</BODY></HTML>")};
         }},
        {"stream-refused", "the stream answers with the 401 page", H::ViewerJpeg,
         Fails("User name or password error."),
         [](HostileCamera&) {
             return Routes{.mjpeg = Text("<HTML><HEAD><TITLE>401 Unauthorized</TITLE></HEAD>"
                                         "<BODY>no</BODY></HTML>")};
         }},
        {"login-too-large", "the login query answers 17 MB", H::ViewerJpeg,
         Fails("The camera's answer was too large."),
         [](HostileCamera&) {
             return Routes{.login = [](int fd, const ReceivedRequest&) {
                 SendAll(fd, ResponseHead("HTTP/1.0 200 OK"));
                 const std::string piece(64 * 1024, 'x');
                 for (int i = 0; i < 17 * 16 && SendAll(fd, piece); ++i) {
                 }
             }};
         }},
        {"asf-ok", "well-formed ASF with MPEG-4", H::ViewerMpeg4, kPlays,
         [](HostileCamera&) { return Routes{}; }},
        {"asf-bad-stream-number", "payloads on stream 7 (key frames 0x87)", H::ViewerMpeg4,
         Fails("(420): Bad StreamNo: 135"),
         [](HostileCamera& c) { return Routes{.asf = AsfOf(c, {.videoStream = 0x07})}; }},
        {"asf-zero-objects", "a media object of size 0 before every picture", H::ViewerMpeg4,
         kPlaysDespiteDamage,
         [](HostileCamera& c) {
             return Routes{.asf = AsfOf(c, {}, [](int, std::vector<Bytes> packets) {
                               packets.insert(packets.begin(), AsfObject({}, 0, false, {})[0]);
                               return packets;
                           })};
         }},
        {"asf-replicated-16", "16 bytes of replicated data per object", H::ViewerMpeg4,
         kPlaysDespiteDamage,
         [](HostileCamera& c) { return Routes{.asf = AsfOf(c, {.replicatedLength = 16})}; }},
        {"asf-huge-picture", "stream properties say 4096 x 4096", H::ViewerMpeg4,
         Fails("4096 x 4096 cannot be shown"),
         [](HostileCamera& c) { return Routes{.asf = AsfOf(c, {.width = 4096, .height = 4096})}; }},
        {"asf-lying-object", "media objects announced as 2 GB", H::ViewerMpeg4,
         Fails("Bad media object size"),
         [](HostileCamera& c) {
             return Routes{.asf = AsfOf(c, {}, [](int i, std::vector<Bytes>) {
                               return AsfObject(TestClip().frames[0], 40u * i, true, {},
                                                0x7FFFFFFF);
                           })};
         }},
        {"asf-lying-header", "header object announced as 1 GB", H::ViewerMpeg4,
         Fails("Bad header object size"),
         [](HostileCamera& c) {
             return Routes{.asf = [&c](int fd, const ReceivedRequest&) {
                 Bytes head = AsfHead(TestClip(), {});
                 head[16] = 0;
                 head[17] = 0;
                 head[18] = 0;
                 head[19] = 0x40;
                 c.Stream(
                     fd, [&](int i) { return i == 0 ? head : Bytes(4096, 0); }, 10);
             }};
         }},
        {"asf-lying-packet-size", "packets announced as 1 MB", H::ViewerMpeg4,
         Fails("Bad packet size"),
         [](HostileCamera& c) { return Routes{.asf = AsfOf(c, {.packetSize = 1u << 20})}; }},
        {"areas-bad-stream-number",
         "the motion control's live stream on stream 7",
         H::MotionAreas,
         {true, "(420): Bad StreamNo: 135", ""},
         [](HostileCamera& c) { return Routes{.asf = AsfOf(c, {.videoStream = 0x07})}; }},
        {"view-ok",
         "well-formed set-up and snapshot",
         H::MotionView,
         {true, "", ""},
         [](HostileCamera&) { return Routes{}; }},
        {"view-snapshot-bomb", "the snapshot is a JPEG of 3000 scans", H::MotionView,
         Fails("Can not connect"),
         [](HostileCamera&) { return Routes{.snapshot = Picture(Pics().scanBomb)}; }},
        {"view-snapshot-huge", "the snapshot's header says 8192 x 8192", H::MotionView,
         Fails("Can not connect"),
         [](HostileCamera&) { return Routes{.snapshot = Picture(Pics().hugeHeader)}; }},
        {"view-snapshot-page", "the snapshot is an HTML page", H::MotionView,
         Fails("Can not connect"),
         [](HostileCamera&) { return Routes{.snapshot = Text("<HTML>no picture</HTML>")}; }},
    };
}

} // namespace

const std::vector<Behaviour>& Behaviours() {
    static const std::vector<Behaviour> table = MakeTable();
    return table;
}

const Behaviour* FindBehaviour(const std::string& name) {
    for (const Behaviour& b : Behaviours())
        if (b.name == name)
            return &b;
    return nullptr;
}

HostileCamera::HostileCamera(const Behaviour& behaviour) : behaviour_(behaviour) {
    routes_ = behaviour_.routes(*this);
    if (!routes_.login)
        routes_.login = Text("ptctrl=on\r\nioctrl=on\r\nwidth=320\r\nheight=240\r\n");
    if (!routes_.mjpeg)
        routes_.mjpeg = MJpegFrames(*this, Pics().frame);
    if (!routes_.asf)
        routes_.asf = AsfOf(*this, {});
    if (!routes_.snapshot)
        routes_.snapshot = Picture(Pics().snapshot);
    server_ = std::make_unique<net::test::RawHttpServer>(
        [this](int fd, const ReceivedRequest& request) { Serve(fd, request); });
}

HostileCamera::~HostileCamera() {
    server_.reset(); // stops the handlers before the routes go
}

std::string HostileCamera::Base() const {
    return server_->Url("/");
}

bool HostileCamera::Pause(int ms) const {
    return server_->WaitForStop(std::chrono::milliseconds(ms));
}

void HostileCamera::Stream(int fd, const std::function<std::vector<uint8_t>(int)>& next,
                           int periodMs, const char* type) const {
    if (!SendAll(fd, ResponseHead("HTTP/1.0 200 OK", {std::string("Content-Type: ") + type})))
        return;
    for (int i = 0;; ++i) {
        const Bytes bytes = next(i);
        if (bytes.empty() || !SendAll(fd, View(bytes)) || Pause(periodMs))
            return;
    }
}

void HostileCamera::Trickle(int fd, const std::string& bytes, std::size_t step, int everyMs) const {
    for (std::size_t at = 0; at < bytes.size(); at += step)
        if (!SendAll(fd, std::string_view(bytes).substr(at, step)) || Pause(everyMs))
            return;
}

void HostileCamera::Serve(int fd, const ReceivedRequest& request) {
    const std::string& line = request.requestLine;
    auto is = [&line](std::string_view path) {
        const std::size_t start = line.find(' ') + 1;
        return line.compare(start, path.size(), path) == 0;
    };
    if (is("/img/query.cgi")) {
        routes_.login(fd, request);
    } else if (is("/util/query.cgi")) {
        const bool mpeg = behaviour_.host == Host::ViewerMpeg4;
        Answer(fd, std::string("type=") + (mpeg ? "mpeg4" : "jpeg") + "\r\nvoice_out=off\r\n");
    } else if (is("/img/mjpeg.cgi")) {
        routes_.mjpeg(fd, request);
    } else if (is("/img/video.asf")) {
        routes_.asf(fd, request);
    } else if (is("/snap.jpg")) {
        routes_.snapshot(fd, request);
    } else if (is("/ocxparser.cgi")) {
        if (request.body.find("MOT_READ_VIEW") != std::string::npos) {
            Answer(fd, "RES: 3\r\nVIEWEN: 1\r\nVIEWAREAX1: 40\r\nVIEWAREAY1: 30\r\n"
                       "VIEWAREAX2: 600\r\nVIEWAREAY2: 450\r\n");
        } else if (request.body.find("MOT_READ_AREA") != std::string::npos) {
            std::string areas = "RES: 3\r\n";
            for (int n = 0; n < 4; ++n) {
                const std::string k = "AREA" + std::to_string(n);
                areas += k + "EN: 1\r\n" + k + "THD: 50\r\n" + k + "SENS: 5\r\n" + k +
                         "TLE: area\r\n" + k + "X1: 10\r\n" + k + "Y1: 10\r\n" + k + "X2: 100\r\n" +
                         k + "Y2: 100\r\n";
            }
            Answer(fd, areas);
        } else {
            Answer(fd, "MOT: OK\r\n");
        }
    } else {
        SendAll(fd, ResponseHead("HTTP/1.0 404 Not Found") + "no such page");
    }
}

} // namespace kestrova::hostile

// The camera's endpoints: authentication, query pages, streams, pan/tilt,
// the motion protocol, snapshots and the simulator's own status page.
#include "auth.h"
#include "jpeg_encoder.h"
#include "pages.h"
#include "scene.h"
#include "server.h"
#include "stream_source.h"

#include <chrono>
#include <cstring>
#include <microhttpd.h>
#include <thread>

namespace kestrova::sim {

namespace {

bool Queue(MHD_Connection* c, unsigned status, std::string_view body,
           const char* contentType = "text/plain",
           std::initializer_list<std::pair<const char*, const char*>> headers = {}) {
    MHD_Response* r = MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()),
                                                      MHD_RESPMEM_MUST_COPY);
    if (!r)
        return false;
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, contentType);
    MHD_add_response_header(r, MHD_HTTP_HEADER_CACHE_CONTROL, "no-cache");
    for (const auto& [name, value] : headers)
        MHD_add_response_header(r, name, value);
    const bool ok = MHD_queue_response(c, status, r) == MHD_YES;
    MHD_destroy_response(r);
    return ok;
}

bool Error(MHD_Connection* c, unsigned status, const std::string& text) {
    return Queue(c, status, "ERROR: " + text + "\r\n");
}

const char* Arg(MHD_Connection* c, const char* key) {
    return MHD_lookup_connection_value(c, MHD_GET_ARGUMENT_KIND, key);
}

// What a stream response's reader needs between calls.
struct StreamContext {
    Server* server = nullptr;
    std::unique_ptr<StreamSource> source;
    std::shared_ptr<StreamRecord> record;
    std::string pending;
    size_t sent = 0;
    bool trickle = false;
    int trickleDelayMs = 0;
};

ssize_t ReadStream(void* cls, uint64_t /*pos*/, char* buf, size_t max) {
    auto* ctx = static_cast<StreamContext*>(cls);
    if (ctx->server->Stopping())
        return MHD_CONTENT_READER_END_WITH_ERROR;
    if (ctx->sent == ctx->pending.size()) {
        ctx->pending.clear();
        ctx->sent = 0;
        // A step may hold its bytes back (audio waiting to share a packet with a picture).
        while (ctx->pending.empty())
            if (!ctx->source->Next(ctx->pending))
                return MHD_CONTENT_READER_END_WITH_ERROR; // ends the connection as a camera would
        ctx->record->frames = ctx->source->FramesSent();
    }
    size_t n = std::min(max, ctx->pending.size() - ctx->sent);
    if (ctx->trickle) {
        n = std::min<size_t>(n, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(ctx->trickleDelayMs));
    }
    std::memcpy(buf, ctx->pending.data() + ctx->sent, n);
    ctx->sent += n;
    ctx->record->bytesSent += n;
    return static_cast<ssize_t>(n);
}

void FreeStream(void* cls) {
    auto* ctx = static_cast<StreamContext*>(cls);
    ctx->server->StreamEnded(*ctx->record);
    delete ctx;
}

bool IsGet(const Request& r) {
    return r.method == "GET" || r.method == "HEAD";
}

} // namespace

void Server::CountRequest(const std::string& path) {
    std::lock_guard lock(mutex_);
    ++requestsTotal_;
    // Hostile clients must not grow the table without bound.
    if (requests_.count(path) || requests_.size() < 64)
        ++requests_[path];
    else
        ++requests_["(other)"];
}

bool Server::Authorized(MHD_Connection* c) const {
    const char* value = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Authorization");
    if (!value)
        return false;
    auto creds = ParseBasicAuthorization(value);
    return creds && CredentialsMatch(*creds, options_.user, options_.password);
}

int Server::HandleRequest(Request& req, const char* uploadData, size_t* uploadSize) {
    if (*uploadSize != 0) {
        // Bodies arrive in pieces; past the limit they are read and dropped.
        if (req.body.size() + *uploadSize > kMaxBody)
            req.bodyTooLarge = true;
        else
            req.body.append(uploadData, *uploadSize);
        *uploadSize = 0;
        return MHD_YES;
    }
    if (!req.counted) {
        req.counted = true;
        CountRequest(req.path);
    }
    return Route(req);
}

int Server::Route(Request& req) {
    MHD_Connection* c = req.connection;
    if (req.path == "/status")
        return ServeStatus(req);

    const Fault fault = CurrentFault();
    if (fault == Fault::StallBeforeAnswer) {
        while (CurrentFault() == Fault::StallBeforeAnswer && !Stopping())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (Stopping())
            return MHD_NO;
    }
    if (req.bodyTooLarge)
        return Error(c, MHD_HTTP_CONTENT_TOO_LARGE,
                     "request body larger than " + std::to_string(kMaxBody) + " bytes");

    static const std::map<std::string, bool, std::less<>> kEndpoints{
        {"/img/query.cgi", false}, {"/util/query.cgi", false}, {"/img/mjpeg.cgi", false},
        {"/img/video.asf", false}, {"/pt/ptctrl.cgi", false},  {"/ocxparser.cgi", true},
        {"/snap.jpg", true}};
    auto endpoint = kEndpoints.find(req.path);
    if (endpoint == kEndpoints.end())
        return Error(c, MHD_HTTP_NOT_FOUND, "no such page: " + req.path.substr(0, 80));
    if (!Authorized(c)) {
        {
            std::lock_guard lock(mutex_);
            ++refused401_;
        }
        return Queue(c, MHD_HTTP_UNAUTHORIZED, kUnauthorizedPage, "text/html",
                     {{MHD_HTTP_HEADER_WWW_AUTHENTICATE, "Basic realm=\"camsim\""}});
    }
    const bool postEndpoint = endpoint->second;
    if (postEndpoint ? !(req.method == "POST" || IsGet(req)) : !IsGet(req))
        return Queue(c, MHD_HTTP_METHOD_NOT_ALLOWED, "ERROR: method not allowed\r\n", "text/plain",
                     {{MHD_HTTP_HEADER_ALLOW, postEndpoint ? "POST, GET" : "GET"}});

    if (req.path == "/img/query.cgi")
        return Queue(c, MHD_HTTP_OK, ImageQueryPage(options_));
    if (req.path == "/util/query.cgi")
        return Queue(c, MHD_HTTP_OK, UtilQueryPage(options_));
    if (req.path == "/img/mjpeg.cgi")
        return ServeStream(req, false, fault);
    if (req.path == "/img/video.asf")
        return ServeStream(req, true, fault);
    if (req.path == "/pt/ptctrl.cgi")
        return ServePanTilt(req);
    if (req.path == "/ocxparser.cgi")
        return ServeOcx(req, fault);
    return ServeSnapshot(req, fault);
}

int Server::ServeStream(Request& req, bool asf, Fault fault) {
    MHD_Connection* c = req.connection;
    int fps = options_.fps;
    if (!asf) {
        if (const char* speed = Arg(c, "Speed")) {
            // A requested rate below the camera's slows the stream; anything else is ignored.
            const int v = std::atoi(speed);
            if (v > 0 && v < fps)
                fps = v;
        }
    }
    if (fault == Fault::Auth401) {
        std::lock_guard lock(mutex_);
        ++refused401_;
    }
    if (fault == Fault::Auth401)
        return Queue(c, MHD_HTTP_UNAUTHORIZED, kUnauthorizedPage, "text/html",
                     {{MHD_HTTP_HEADER_WWW_AUTHENTICATE, "Basic realm=\"camsim\""}});

    auto record = std::make_shared<StreamRecord>();
    {
        std::lock_guard lock(mutex_);
        if (fault == Fault::Busy503 || openStreams_ >= options_.maxStreams) {
            ++refused503_;
            return Queue(c, MHD_HTTP_SERVICE_UNAVAILABLE, kBusyPage, "text/html");
        }
        ++openStreams_;
        record->id = nextStreamId_++;
        record->path = req.path;
        streams_.push_back(record);
        if (streams_.size() > 256) // keep the newest, and every open one
            std::erase_if(streams_, [](const auto& s) { return !s->open; });
    }

    StreamEnv env;
    env.options = &options_;
    env.motion = &motion_;
    env.stopping = [this] { return Stopping(); };
    env.currentFault = [this] { return CurrentFault(); };
    std::string error;
    auto source =
        asf ? MakeAsfSource(env, fault, &error) : MakeMjpegSource(env, fault, fps, &error);
    if (!source) {
        StreamEnded(*record);
        return Error(c, MHD_HTTP_INTERNAL_SERVER_ERROR, error);
    }
    auto* ctx = new StreamContext;
    ctx->server = this;
    ctx->source = std::move(source);
    ctx->record = record;
    ctx->trickle = fault == Fault::Trickle;
    ctx->trickleDelayMs = options_.trickleDelayMs;
    MHD_Response* r = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 16 * 1024, &ReadStream,
                                                        ctx, &FreeStream);
    if (!r) {
        FreeStream(ctx);
        return MHD_NO;
    }
    // Cameras send an endless body and end it by closing; the faults pick the other framings.
    if (fault == Fault::Http10)
        MHD_set_response_options(r,
                                 static_cast<MHD_ResponseFlags>(MHD_RF_HTTP_1_0_SERVER |
                                                                MHD_RF_HTTP_1_0_COMPATIBLE_STRICT),
                                 MHD_RO_END);
    else if (fault != Fault::Chunked)
        MHD_set_response_options(r, MHD_RF_HTTP_1_0_COMPATIBLE_STRICT, MHD_RO_END);
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, "application/octet-stream");
    MHD_add_response_header(r, MHD_HTTP_HEADER_CACHE_CONTROL, "no-cache");
    MHD_add_response_header(r, MHD_HTTP_HEADER_PRAGMA, "no-cache");
    const int ok = MHD_queue_response(c, MHD_HTTP_OK, r);
    MHD_destroy_response(r);
    return ok;
}

int Server::ServePanTilt(Request& req) {
    MHD_Connection* c = req.connection;
    const char* value = Arg(c, "position");
    if (!value)
        return Error(c, MHD_HTTP_BAD_REQUEST, "missing position=pan,tilt,speed");
    auto pos = ParsePanTilt(value);
    if (!pos)
        return Error(c, MHD_HTTP_BAD_REQUEST, "position must be three integers pan,tilt,speed");
    {
        std::lock_guard lock(mutex_);
        lastPanTilt_ = *pos;
        ++panTiltRequests_;
    }
    return Queue(c, MHD_HTTP_OK, "");
}

int Server::ServeOcx(Request& req, Fault fault) {
    MHD_Connection* c = req.connection;
    if (req.method != "POST")
        return Error(c, MHD_HTTP_METHOD_NOT_ALLOWED, "commands are posted");
    const bool busy = options_.motionBusy || fault == Fault::MotionBusy;
    const ProtocolReply reply = motion_.Handle(req.body, busy);
    return Queue(c, static_cast<unsigned>(reply.status), reply.body,
                 reply.status == 403 ? "text/html" : "text/plain");
}

int Server::ServeSnapshot(Request& req, Fault fault) {
    MHD_Connection* c = req.connection;
    if (options_.motionBusy || fault == Fault::MotionBusy)
        return Queue(c, MHD_HTTP_FORBIDDEN, kForbiddenPage, "text/html");
    const Scene scene(options_.width, options_.height, options_.fps);
    const auto elapsed = std::chrono::steady_clock::now() - started_;
    const int64_t frame = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() *
                          options_.fps / 1000;
    YuvPicture picture;
    scene.Render(frame, picture);
    // The motion control takes the snapshot in one read of at most 255,999 bytes.
    constexpr size_t kMaxSnapshot = 255'999;
    std::vector<uint8_t> jpeg;
    for (int quality = options_.jpegQuality; quality > 0; quality -= 15) {
        jpeg = EncodeJpeg(picture, quality);
        if (jpeg.empty() || jpeg.size() <= kMaxSnapshot)
            break;
    }
    if (jpeg.empty() || jpeg.size() > kMaxSnapshot)
        return Error(c, MHD_HTTP_INTERNAL_SERVER_ERROR, "cannot encode the snapshot");
    return Queue(c, MHD_HTTP_OK,
                 std::string_view(reinterpret_cast<const char*>(jpeg.data()), jpeg.size()),
                 "image/jpeg");
}

} // namespace kestrova::sim

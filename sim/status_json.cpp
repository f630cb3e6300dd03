// The simulator's own status page: what tests read back, and the run-time
// switch for fault modes ("/status?fault=NAME").
#include "json.h"
#include "server.h"

#include <microhttpd.h>
#include <sstream>

namespace kestrova::sim {

std::string Server::StatusJson() const {
    std::ostringstream o;
    std::lock_guard lock(mutex_);
    o << "{\"port\":" << port_ << ",\"fault\":" << JsonEscape(FaultName(fault_))
      << ",\"connections_open\":" << connectionsOpen_.load() << ",\"streams_open\":" << openStreams_
      << ",\"requests_total\":" << requestsTotal_ << ",\"requests\":{";
    bool first = true;
    for (const auto& [path, count] : requests_) {
        o << (first ? "" : ",") << JsonEscape(path) << ":" << count;
        first = false;
    }
    o << "},\"refused_401\":" << refused401_ << ",\"refused_503\":" << refused503_
      << ",\"streams\":[";
    first = true;
    for (const auto& s : streams_) {
        o << (first ? "" : ",") << "{\"id\":" << s->id << ",\"path\":" << JsonEscape(s->path)
          << ",\"open\":" << (s->open ? "true" : "false") << ",\"bytes_sent\":" << s->bytesSent
          << ",\"frames\":" << s->frames << "}";
        first = false;
    }
    o << "],\"pan_tilt\":";
    if (lastPanTilt_)
        o << "{\"pan\":" << lastPanTilt_->pan << ",\"tilt\":" << lastPanTilt_->tilt
          << ",\"speed\":" << lastPanTilt_->speed << ",\"requests\":" << panTiltRequests_ << "}";
    else
        o << "null";
    o << ",\"motion\":" << motion_.ToJson() << "}";
    return o.str();
}

int Server::ServeStatus(Request& req) {
    MHD_Connection* c = req.connection;
    if (const char* fault = MHD_lookup_connection_value(c, MHD_GET_ARGUMENT_KIND, "fault")) {
        if (!SetFault(fault)) {
            std::string text = "ERROR: unknown fault mode; known:";
            for (auto name : FaultNames())
                text += " " + std::string(name);
            text += "\r\n";
            MHD_Response* r =
                MHD_create_response_from_buffer(text.size(), text.data(), MHD_RESPMEM_MUST_COPY);
            const int ok = MHD_queue_response(c, MHD_HTTP_BAD_REQUEST, r);
            MHD_destroy_response(r);
            return ok;
        }
    }
    const std::string body = StatusJson();
    MHD_Response* r = MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()),
                                                      MHD_RESPMEM_MUST_COPY);
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, "application/json");
    const int ok = MHD_queue_response(c, MHD_HTTP_OK, r);
    MHD_destroy_response(r);
    return ok;
}

} // namespace kestrova::sim

// Helpers for the simulator's tests: a started simulator, libcurl requests and
// raw socket exchanges, and little-endian readers.
#pragma once

#include "sim/camera_simulator.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrova::sim::test {

struct HttpResult {
    long status = 0;
    std::string headers;
    std::string body;
    bool transferError = false; // the connection broke or timed out
};

struct HttpRequest {
    std::string url;
    std::string user = "admin", password = "admin";
    bool sendAuth = true;
    std::string postBody; // non-empty (or post = true) makes a POST
    bool post = false;
    size_t maxBytes = 0; // stop after this many body bytes (0 = whole body)
    long timeoutMs = 5000;
};

HttpResult Fetch(const HttpRequest& request);

// Sends raw bytes on a fresh connection and collects the answer until the
// peer closes, maxBytes arrive or timeoutMs passes.
std::string RawExchange(uint16_t port, std::string_view bytes, size_t maxBytes, int timeoutMs);

// Sends a request and then keeps the connection open for holdMs without reading.
void SendAndStall(uint16_t port, std::string_view bytes, int holdMs);

inline uint16_t Le16(std::string_view s, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1])
                                                                   << 8);
}
inline uint32_t Le32(std::string_view s, size_t at) {
    return Le16(s, at) | static_cast<uint32_t>(Le16(s, at + 2)) << 16;
}

// Width and height of a JPEG decoded with libjpeg; {0, 0} when it does not decode.
std::pair<int, int> DecodeJpegSize(std::string_view jpeg);

} // namespace kestrova::sim::test

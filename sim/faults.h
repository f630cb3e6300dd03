// Fault modes: deliberate misbehaviour the controls must survive.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace kestrova::sim {

enum class Fault {
    None,
    StallAfterHeaders, // stream: HTTP and stream headers, then nothing
    StallBeforeAnswer, // every camera request: no answer at all while the mode lasts
    CloseMidFrame,     // stream: two frames, half of the third, then close
    CloseMidHeader,    // stream: close inside the ASF header / the first record header
    BadTag,            // Motion-JPEG: second frame's first record tagged "MJPX"
    BadType,           // Motion-JPEG: ... of type 7
    BadVersion,        // Motion-JPEG: ... of version 2
    BadOffset,         // Motion-JPEG: second frame's second record at a wrong offset
    BadBeginOffset,    // Motion-JPEG: second frame begins at a non-zero offset
    BadStreamNumber,   // ASF: second frame's payloads carry stream number 5
    OversizePayload,   // ASF: object size announced too small; Motion-JPEG: record past the frame
    Auth401,           // streams: the 401 page whatever the credentials
    Busy503,           // streams: the busy page whatever the count
    Trickle,           // streams: one byte at a time
    Http10,            // streams: "HTTP/1.0", no length, end by close
    Chunked,           // streams: HTTP/1.1 chunked transfer
    MotionBusy,        // "/ocxparser.cgi" and "/snap.jpg": the 403 page
};

std::optional<Fault> ParseFault(std::string_view name); // "" and "none" give Fault::None
std::string_view FaultName(Fault fault);
std::vector<std::string_view> FaultNames();

} // namespace kestrova::sim

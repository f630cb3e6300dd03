#pragma once

#include "stream/asf_parser.h"

#include <span>
#include <vector>

namespace kestrova::stream {

// Gathers bytes arriving in chunks of any size into the exact blocks the ASF parser
// takes, so a byte stream in memory runs through the same parsing as a live session.
class AsfChunkFeeder {
public:
    explicit AsfChunkFeeder(CAsfParser& parser) : parser_(parser) {}
    // 0 while the stream is sound; the parser's result code once it failed.
    int Push(std::span<const uint8_t> chunk);

private:
    CAsfParser& parser_;
    std::vector<uint8_t> pending_;
};

} // namespace kestrova::stream

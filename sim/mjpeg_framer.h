// The camera's Motion-JPEG record framing: every record is a 48-byte header
// tagged "MJPG" (little-endian fields) followed by its payload. A JPEG frame
// may span several records; an audio frame is one record.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kestrova::sim {

inline constexpr size_t kMjpegHeaderSize = 48;

enum class MjpegRecordType : uint8_t { Video = 1, Audio = 2 };

struct MjpegRecordHeader {
    uint32_t totalSize = 0;
    uint16_t width = 0, height = 0;
    uint32_t offset = 0;
    uint16_t payloadLength = 0;
    uint32_t timestamp = 0;
    uint8_t type = 1;
    uint16_t audioFormat = 0;
    uint8_t version = 1;
    std::string label; // at most 20 bytes are written
    char tag[4] = {'M', 'J', 'P', 'G'};
};

void AppendRecordHeader(std::string& out, const MjpegRecordHeader& header);

// Deliberate framing faults, applied to one video frame.
enum class MjpegDefect {
    None,
    BadTag,         // first record tagged "MJPX"
    BadType,        // first record of type 7
    BadVersion,     // first record of version 2
    BadOffset,      // second record's offset one past the assembled count
    BadBeginOffset, // first record's offset not 0
    Oversize,       // total size smaller than the bytes that follow
};

// Appends one JPEG frame split into records of at most maxPayload bytes. The
// frame is always split in at least two records when it has two bytes or more,
// so that clients meet the offsets.
void AppendVideoFrame(std::string& out, std::span<const uint8_t> jpeg, int width, int height,
                      uint32_t timestamp, size_t maxPayload, std::string_view label,
                      MjpegDefect defect = MjpegDefect::None);

void AppendAudioRecord(std::string& out, std::span<const uint8_t> g726, int bits,
                       uint32_t timestamp, std::string_view label);

} // namespace kestrova::sim

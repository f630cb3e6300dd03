// The camera's live ASF stream: one header object (file properties, video and
// audio stream properties), a data object header, then data packets of one
// fixed size. Every packet has the same layout: 2 bytes of error-correction
// data, a 16-bit padding length, send time and duration, the payload flags at
// byte 13, several payloads with 16-bit lengths, then padding. Replicated data
// (object size and presentation time, 8 bytes) rides only on the first payload
// of each media object. A payload that completes a video frame always ends its
// packet, and the first four padding bytes after it carry the motion levels.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrova::sim {

struct AsfLayout {
    int width = 320, height = 240, fps = 15;
    std::vector<uint8_t> videoConfig; // MPEG-4 stream headers after the BITMAPINFOHEADER
    int audioBits = 4;                // 0 = no audio stream
    uint32_t packetSize = 2048;
};

inline constexpr size_t kAsfPacketHeaderSize = 14; // through the payload flags
inline constexpr size_t kAsfDataHeaderSize = 50;

// Header object followed by the 50-byte data object header.
std::string BuildAsfHeader(const AsfLayout& layout);

// Deliberate faults, applied to one media object.
enum class AsfDefect {
    None,
    BadStreamNumber, // payloads carry stream number 5
    Oversize,        // replicated data announces half the object's real size
};

class AsfPacketizer {
public:
    explicit AsfPacketizer(uint32_t packetSize);

    // Appends the packets that the object fills; a video object always ends its packet.
    void AddVideo(std::span<const uint8_t> frame, bool key, uint32_t presentationMs,
                  const std::array<uint8_t, 4>& motionLevels, std::string& out,
                  AsfDefect defect = AsfDefect::None);
    void AddAudio(std::span<const uint8_t> frame, uint32_t presentationMs, std::string& out);
    // Closes a partly filled packet (zero padding).
    void Flush(std::string& out);

    uint32_t PacketSize() const { return packetSize_; }

private:
    void AddObject(uint8_t streamByte, bool video, std::span<const uint8_t> data,
                   uint32_t presentationMs, const std::array<uint8_t, 4>* levels,
                   uint32_t announcedSize, std::string& out);
    void ClosePacket(std::string& out, const std::array<uint8_t, 4>* levels);

    uint32_t packetSize_;
    std::string payloads_; // payload area of the packet being filled
    int payloadCount_ = 0;
    uint32_t sendTime_ = 0;
    uint8_t objectNumber_[3] = {0, 0, 0};
};

} // namespace kestrova::sim

#pragma once

#include "stream/frame_chain.h"
#include "stream/queue_rules.h"
#include "stream/stream_profile.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrova::stream {

// What the ASF parser calls out to.
class AsfParserHost {
public:
    virtual ~AsfParserHost() = default;
    // Starts the MPEG-4 display path; true when it accepted the stream and its thread runs.
    virtual bool StartVideo(int width, int height, std::span<const uint8_t> config) = 0;
    // Opens and starts the audio object; true when audio plays.
    virtual bool OpenAudio(int formatCode, uint32_t frameSize) = 0;
    virtual int PacingValue() const = 0;
    // The four area motion levels carried in packet padding (motion control only).
    virtual void MotionLevels(const std::array<uint8_t, 4>& levels) {}
};

// Parses the camera's live ASF stream from exact-size blocks: the caller reads Wanted()
// bytes and hands them to Feed(). The header object, then the data object header, then
// one data packet per block. Complete media objects are queued under the queue rules.
class CAsfParser {
public:
    enum class Stage { Preamble, HeaderBody, DataHeader, Packets };

    static constexpr std::size_t kPreambleSize = 30;
    static constexpr std::size_t kDataHeaderSize = 50;
    static constexpr std::size_t kMaxHeaderSize = kPreambleSize + 1024;
    static constexpr uint32_t kMaxPacketSize = 4096;
    static constexpr uint32_t kMaxMediaObjectSize = 4u << 20;

    CAsfParser(const StreamProfile& profile, CFrameChain& video, CFrameChain& audio,
               AsfParserHost& host);

    void Reset();
    // Byte count the next Feed() takes.
    std::size_t Wanted() const;
    Stage CurrentStage() const { return stage_; }
    // `block` must hold exactly Wanted() bytes. 0 on success, otherwise the result code
    // (LastError() tells why); after a failure the parser must be Reset.
    int Feed(std::span<const uint8_t> block);

    uint32_t PacketSize() const { return packetSize_; }
    int AudioFormat() const { return audioFormat_; }
    bool AudioActive() const { return audioActive_; }
    const std::string& LastError() const { return lastError_; }
    void ReleaseBuffers();

private:
    struct MediaObject {
        std::vector<uint8_t> data;
        uint32_t total = 0;
        uint32_t received = 0;
        uint32_t time = 0; // presentation time announced with the object's first payload
        bool inProgress = false;
    };

    void ParsePreamble(std::span<const uint8_t> block);
    void ParseHeaderBody(std::span<const uint8_t> block);
    void ParseStreamProperties(std::span<const uint8_t> object);
    void ParsePacket(std::span<const uint8_t> packet);
    void VideoPayload(std::span<const uint8_t> packet, std::size_t dataPos, uint8_t streamByte,
                      uint32_t offset, uint16_t length);
    void AudioPayload(std::span<const uint8_t> packet, std::size_t dataPos, uint32_t offset,
                      uint16_t length);
    void CheckFitsAnnounced(uint32_t offset, uint16_t length) const;

    const StreamProfile& profile_;
    CFrameChain& video_;
    CFrameChain& audio_;
    AsfParserHost& host_;

    Stage stage_ = Stage::Preamble;
    uint32_t headerSize_ = 0;
    uint32_t headerObjects_ = 0;
    uint32_t packetSize_ = 0;
    int audioFormat_ = 0;
    MediaObject videoObject_;
    MediaObject audioObject_;
    uint32_t announcedSize_ = 0;
    uint32_t announcedTime_ = 0;
    KeyFrameGate keyGate_;
    bool firstAudio_ = true;
    bool audioActive_ = false;
    std::string lastError_;
};

} // namespace kestrova::stream

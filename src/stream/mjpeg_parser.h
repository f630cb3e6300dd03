#pragma once

#include "stream/frame_chain.h"
#include "stream/stream_profile.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrova::stream {

// What the Motion-JPEG parser calls out to when the stream first shows video or audio.
class MJpegParserHost {
public:
    virtual ~MJpegParserHost() = default;
    // Starts the display path with the picture size (it always accepts).
    virtual void StartVideo(int width, int height) = 0;
    // Opens and starts the audio object; true when audio plays.
    virtual bool OpenAudio(int formatCode, uint32_t frameSize) = 0;
};

// One 48-byte record header of the camera's Motion-JPEG framing (little-endian fields).
struct MJpegHeader {
    static constexpr std::size_t kSize = 48;
    std::array<uint8_t, 4> tag{};
    uint32_t totalSize = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint32_t offset = 0;
    uint16_t payloadLength = 0;
    uint32_t timestamp = 0;
    uint8_t type = 0;
    uint16_t audioFormat = 0;
    uint8_t version = 0;
    std::array<char, 20> label{};

    static MJpegHeader Decode(const uint8_t* bytes);
};

// Parses the Motion-JPEG record stream chunk by chunk: checks every header, reassembles
// the JPEG frames and queues complete frames under the queue limits. Records may be split
// across any number of chunks.
class CMJpegParser {
public:
    // Largest frame accepted; a larger total size is refused before any allocation.
    static constexpr uint32_t kMaxFrameSize = 4u << 20;

    CMJpegParser(const StreamProfile& profile, CFrameChain& video, CFrameChain& audio,
                 MJpegParserHost& host);

    // Start of a play: forgets every flag and half-assembled frame, arms the refusal check.
    void Reset();
    // 0 when the chunk is used up, otherwise the result code (LastError() tells why);
    // after a non-zero code the parser must be Reset before it is fed again.
    int ParseChunk(std::span<const uint8_t> chunk);
    void ReleaseBuffers();

    const std::string& LastError() const { return lastError_; }
    const std::string& Label() const { return label_; }
    bool VideoStarted() const { return videoStarted_; }
    bool AudioActive() const { return audioActive_; }

private:
    void HeaderStep(std::span<const uint8_t> chunk, std::size_t& pos);
    void PayloadStep(std::span<const uint8_t> chunk, std::size_t& pos);
    void CheckRefusal(std::span<const uint8_t> rest);
    void CompleteVideoFrame();

    const StreamProfile& profile_;
    CFrameChain& video_;
    CFrameChain& audio_;
    MJpegParserHost& host_;

    bool inPayload_ = false;
    bool skipping_ = false; // the payload of an empty frame's record is stepped over
    std::array<uint8_t, MJpegHeader::kSize> headerBytes_{};
    std::size_t headerCount_ = 0;
    MJpegHeader header_; // the record being read
    std::size_t payloadMissing_ = 0;
    std::vector<uint8_t> payload_; // audio payload being gathered
    bool frameOpen_ = false;
    MJpegHeader frameHeader_;    // first record of the frame under assembly
    std::vector<uint8_t> frame_; // video payloads land here directly
    bool videoStarted_ = false;
    bool audioActive_ = false;
    bool audioTried_ = false;
    int audioFormat_ = 0;
    bool refusalCheckArmed_ = true;
    std::string label_;
    std::string lastError_;
};

} // namespace kestrova::stream

#include "stream/asf_parser.h"

#include "stream/asf_guids.h"
#include "stream/byte_order.h"
#include "stream/player_exception.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>

namespace kestrova::stream {

namespace {

constexpr std::string_view kBusyMarker = "<HTML><HEAD><TITLE>503 Service";

[[noreturn]] void Fail(int code, std::string text) {
    throw CPlayerException(std::move(text), code);
}

[[noreturn]] void Malformed(std::string text) {
    Fail(kMalformed, std::move(text));
}

} // namespace

CAsfParser::CAsfParser(const StreamProfile& profile, CFrameChain& video, CFrameChain& audio,
                       AsfParserHost& host)
    : profile_(profile), video_(video), audio_(audio), host_(host),
      keyGate_(/*keyNeedsRoom=*/profile.motionLevels) {}

void CAsfParser::Reset() {
    stage_ = Stage::Preamble;
    headerSize_ = headerObjects_ = packetSize_ = 0;
    audioFormat_ = 0;
    announcedSize_ = announcedTime_ = 0;
    keyGate_.Reset();
    firstAudio_ = true;
    audioActive_ = false;
    lastError_.clear();
    ReleaseBuffers();
}

void CAsfParser::ReleaseBuffers() {
    videoObject_ = {};
    audioObject_ = {};
}

std::size_t CAsfParser::Wanted() const {
    switch (stage_) {
    case Stage::Preamble:
        return kPreambleSize;
    case Stage::HeaderBody:
        return headerSize_ - kPreambleSize;
    case Stage::DataHeader:
        return kDataHeaderSize;
    case Stage::Packets:
        return packetSize_;
    }
    return 0;
}

int CAsfParser::Feed(std::span<const uint8_t> block) {
    try {
        if (block.size() != Wanted())
            Fail(kReadError, "data reading error.");
        switch (stage_) {
        case Stage::Preamble:
            ParsePreamble(block);
            break;
        case Stage::HeaderBody:
            ParseHeaderBody(block);
            break;
        case Stage::DataHeader:
            // Not checked: the packets follow it directly.
            stage_ = Stage::Packets;
            break;
        case Stage::Packets:
            ParsePacket(block);
            break;
        }
        return 0;
    } catch (const CPlayerException& e) {
        lastError_ = e.what();
        ReleaseBuffers();
        return e.Code();
    } catch (const std::bad_alloc&) {
        lastError_ = "out of memory";
        ReleaseBuffers();
        return kOutOfMemory;
    } catch (const std::exception& e) {
        lastError_ = e.what();
        ReleaseBuffers();
        return kOtherError;
    }
}

void CAsfParser::ParsePreamble(std::span<const uint8_t> block) {
    std::string_view text(reinterpret_cast<const char*>(block.data()), block.size());
    if (text.find(kBusyMarker) != std::string_view::npos)
        Fail(kBusy, kBusyText);
    if (!asf::IsGuid(block.data(), asf::kHeaderObject))
        Fail(kRefused, "User name or password error");
    // Only the low 32 bits of the 64-bit size count, as for every object.
    headerSize_ = ReadLe32(block.data() + 16);
    headerObjects_ = ReadLe32(block.data() + 24);
    if (headerSize_ < kPreambleSize || headerSize_ > kMaxHeaderSize)
        Malformed("Bad header object size: " + std::to_string(headerSize_));
    stage_ = Stage::HeaderBody;
}

void CAsfParser::ParseHeaderBody(std::span<const uint8_t> body) {
    std::size_t pos = 0;
    for (uint32_t i = 0; i < headerObjects_ && pos < body.size(); ++i) {
        if (body.size() - pos < asf::kObjectHeaderSize)
            Malformed("Header object runs past the header");
        const uint32_t size = ReadLe32(body.data() + pos + 16);
        if (size < asf::kObjectHeaderSize || size > body.size() - pos)
            Malformed("Header object runs past the header");
        auto object = body.subspan(pos, size);
        if (asf::IsGuid(object.data(), asf::kFilePropertiesObject)) {
            if (size < asf::kMinPacketSizeOffset + 4)
                Malformed("File properties object too short");
            packetSize_ = ReadLe32(object.data() + asf::kMinPacketSizeOffset);
        } else if (asf::IsGuid(object.data(), asf::kStreamPropertiesObject)) {
            ParseStreamProperties(object);
        }
        pos += size;
    }
    // Packets are read whole into a 4096-byte buffer; the payload flags lie at byte 13.
    if (packetSize_ <= asf::kPayloadFlagsOffset || packetSize_ > kMaxPacketSize)
        Malformed("Bad packet size: " + std::to_string(packetSize_));
    stage_ = Stage::DataHeader;
}

void CAsfParser::ParseStreamProperties(std::span<const uint8_t> object) {
    if (object.size() < asf::kStreamTypeOffset + 16)
        Malformed("Stream properties object too short");
    const uint8_t* type = object.data() + asf::kStreamTypeOffset;
    if (asf::IsGuid(type, asf::kVideoMedia)) {
        constexpr std::size_t configAt = asf::kBitmapInfoOffset + asf::kBitmapInfoSize;
        if (object.size() < configAt)
            Malformed("Video stream properties too short");
        const uint8_t* bmi = object.data() + asf::kBitmapInfoOffset;
        const uint32_t biSize = ReadLe32(bmi);
        const int32_t width = static_cast<int32_t>(ReadLe32(bmi + 4));
        const int32_t height = static_cast<int32_t>(ReadLe32(bmi + 8));
        if (biSize < asf::kBitmapInfoSize ||
            biSize - asf::kBitmapInfoSize > object.size() - configAt)
            Malformed("Video format runs past its object");
        auto config = object.subspan(configAt, biSize - asf::kBitmapInfoSize);
        // A refused start only costs the picture; the stream is still read.
        host_.StartVideo(width, height, config);
    } else if (asf::IsGuid(type, asf::kAudioMedia)) {
        if (object.size() < asf::kBitsPerSampleOffset + 2)
            Malformed("Audio stream properties too short");
        audioFormat_ = ReadLe16(object.data() + asf::kBitsPerSampleOffset);
    }
}

void CAsfParser::ParsePacket(std::span<const uint8_t> packet) {
    const std::size_t payloads = packet[asf::kPayloadFlagsOffset] & 0x3F;
    std::size_t pos = asf::kPayloadFlagsOffset + 1;
    for (std::size_t i = 0; i < payloads; ++i) {
        if (packet.size() - pos < 7)
            Malformed("Payload runs past packet");
        const uint8_t streamByte = packet[pos];
        const uint32_t offset = ReadLe32(packet.data() + pos + 2);
        const uint8_t replicated = packet[pos + 6];
        pos += 7;
        const bool video = streamByte == 0x81 || streamByte == 0x01;
        if (!video && streamByte != 0x02)
            Fail(kBadStreamNumber, "Bad StreamNo: " + std::to_string(streamByte));
        // Replicated data begins with the object's size and time when it has room for them
        // (8 bytes is the common length; anything after them is not used). Shorter
        // replicated data carries neither and is stepped over like the rest.
        if (packet.size() - pos < replicated)
            Malformed("Payload runs past packet");
        bool emptyObject = false;
        if (replicated >= 8) {
            announcedSize_ = ReadLe32(packet.data() + pos);
            announcedTime_ = ReadLe32(packet.data() + pos + 4);
            if (announcedSize_ > kMaxMediaObjectSize)
                Malformed("Bad media object size: " + std::to_string(announcedSize_));
            MediaObject& object = video ? videoObject_ : audioObject_;
            object = {};
            // An empty object has nothing to show or play: its payload is skipped. Audio
            // that will never play gets no buffer.
            emptyObject = announcedSize_ == 0;
            if (!emptyObject && (video || (profile_.audio && (firstAudio_ || audioActive_)))) {
                object.data.resize(announcedSize_);
                object.total = announcedSize_;
                object.time = announcedTime_;
                object.inProgress = true;
            }
        }
        pos += replicated;
        if (packet.size() - pos < 2)
            Malformed("Payload runs past packet");
        const uint16_t length = ReadLe16(packet.data() + pos);
        pos += 2;
        if (packet.size() - pos < length)
            Malformed("Payload runs past packet");
        if (!emptyObject) {
            if (video)
                VideoPayload(packet, pos, streamByte, offset, length);
            else
                AudioPayload(packet, pos, offset, length);
        }
        pos += length;
    }
}

void CAsfParser::CheckFitsAnnounced(uint32_t offset, uint16_t length) const {
    // Checked against the size announced last, whichever stream announced it.
    if (announcedSize_ < offset || announcedSize_ < length || announcedSize_ - offset < length)
        Malformed("PayloadLength > MediaObjectSize");
}

void CAsfParser::VideoPayload(std::span<const uint8_t> packet, std::size_t dataPos,
                              uint8_t streamByte, uint32_t offset, uint16_t length) {
    CheckFitsAnnounced(offset, length);
    MediaObject& object = videoObject_;
    if (!object.inProgress)
        Malformed("No new video buffer");
    object.received += length;
    if (object.received > object.total) {
        object = {};
        Malformed("nVideoFrameSize > nVideoTotalFrameSize");
    }
    // The announced size may belong to the other stream; the copy must fit this object.
    if (offset > object.total || object.total - offset < length) {
        object = {};
        Malformed("PayloadLength > MediaObjectSize");
    }
    std::memcpy(object.data.data() + offset, packet.data() + dataPos, length);
    if (object.received != object.total)
        return;

    object.inProgress = false;
    if (profile_.motionLevels) {
        const uint16_t padding = ReadLe16(packet.data() + asf::kPaddingLengthOffset);
        const std::size_t after = dataPos + length;
        if (padding > 3 && packet.size() - after >= 4) {
            std::array<uint8_t, 4> levels;
            std::memcpy(levels.data(), packet.data() + after, 4);
            host_.MotionLevels(levels);
        }
    }
    const std::size_t limit =
        static_cast<std::size_t>(std::max(0, profile_.asfVideoFactor * host_.PacingValue()));
    if (keyGate_.Admit(video_.Count(), limit, streamByte == 0x81))
        video_.Add(std::move(object.data), object.time);
    object = {};
}

void CAsfParser::AudioPayload(std::span<const uint8_t> packet, std::size_t dataPos, uint32_t offset,
                              uint16_t length) {
    CheckFitsAnnounced(offset, length);
    MediaObject& object = audioObject_;
    if (firstAudio_) {
        firstAudio_ = false;
        audioActive_ = profile_.audio && host_.OpenAudio(audioFormat_, length);
    }
    if (!audioActive_) {
        object = {};
        return;
    }
    if (!object.inProgress)
        Malformed("No new audio buffer");
    object.received += length;
    if (object.received > object.total || offset > object.total || object.total - offset < length) {
        object = {};
        Malformed("nAudioFrameSize > nAudioTotalFrameSize");
    }
    std::memcpy(object.data.data() + offset, packet.data() + dataPos, length);
    if (object.received != object.total)
        return;
    AddDroppingOldest(audio_, profile_.asfAudioKeep, std::move(object.data), object.time);
    object = {};
}

} // namespace kestrova::stream

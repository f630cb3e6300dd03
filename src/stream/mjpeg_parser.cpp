#include "stream/mjpeg_parser.h"

#include "stream/byte_order.h"
#include "stream/player_exception.h"
#include "stream/queue_rules.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>

namespace kestrova::stream {

namespace {

constexpr std::string_view kBusyMarker = "<HTML><HEAD><TITLE>503 Service";
constexpr std::string_view kUnauthorizedMarker = "<HTML><HEAD><TITLE>401 Unauthorized";
// The refusal pages are looked for only in the first bytes of the first chunk.
constexpr std::size_t kRefusalWindow = 255;

bool Contains(std::span<const uint8_t> bytes, std::string_view marker) {
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return text.find(marker) != std::string_view::npos;
}

[[noreturn]] void Fail(const char* text) {
    throw CMJpegPlayerException(text, kMalformed);
}

} // namespace

MJpegHeader MJpegHeader::Decode(const uint8_t* b) {
    MJpegHeader h;
    std::memcpy(h.tag.data(), b, 4);
    h.totalSize = ReadLe32(b + 4);
    h.width = ReadLe16(b + 8);
    h.height = ReadLe16(b + 10);
    h.offset = ReadLe32(b + 12);
    h.payloadLength = ReadLe16(b + 16);
    h.timestamp = ReadLe32(b + 18);
    h.type = b[22];
    h.audioFormat = ReadLe16(b + 23);
    h.version = b[25];
    std::memcpy(h.label.data(), b + 26, h.label.size());
    return h;
}

CMJpegParser::CMJpegParser(const StreamProfile& profile, CFrameChain& video, CFrameChain& audio,
                           MJpegParserHost& host)
    : profile_(profile), video_(video), audio_(audio), host_(host),
      refusalCheckArmed_(profile.mjpegRefusalCheck) {}

void CMJpegParser::Reset() {
    inPayload_ = false;
    skipping_ = false;
    headerCount_ = 0;
    payloadMissing_ = 0;
    frameOpen_ = false;
    videoStarted_ = false;
    audioActive_ = false;
    audioTried_ = false;
    audioFormat_ = 0;
    refusalCheckArmed_ = profile_.mjpegRefusalCheck;
    lastError_.clear();
    ReleaseBuffers();
}

void CMJpegParser::ReleaseBuffers() {
    std::vector<uint8_t>().swap(payload_);
    std::vector<uint8_t>().swap(frame_);
    frameOpen_ = false;
}

int CMJpegParser::ParseChunk(std::span<const uint8_t> chunk) {
    std::size_t pos = 0;
    for (;;) {
        const bool header = !inPayload_;
        // A payload of length 0 completes at once, even at the end of a chunk.
        if (pos >= chunk.size() && (header || payloadMissing_ > 0))
            return 0;
        try {
            if (header)
                HeaderStep(chunk, pos);
            else
                PayloadStep(chunk, pos);
        } catch (const CMJpegPlayerException& e) {
            lastError_ = e.what();
            return e.Code();
        } catch (const std::bad_alloc&) {
            lastError_ = header ? "Parser Header Memory Error" : "Paser Payload Memory Error";
            return kOutOfMemory;
        } catch (const std::exception& e) {
            lastError_ = e.what();
            return kOtherError;
        }
    }
}

void CMJpegParser::CheckRefusal(std::span<const uint8_t> rest) {
    auto window = rest.first(std::min(rest.size(), kRefusalWindow));
    if (Contains(window, kBusyMarker))
        throw CMJpegPlayerException(kBusyText, kBusy);
    if (Contains(window, kUnauthorizedMarker))
        throw CMJpegPlayerException("User name or password error.", kRefused);
}

void CMJpegParser::HeaderStep(std::span<const uint8_t> chunk, std::size_t& pos) {
    if (refusalCheckArmed_) {
        refusalCheckArmed_ = false;
        CheckRefusal(chunk.subspan(pos));
    }
    const std::size_t take = std::min(MJpegHeader::kSize - headerCount_, chunk.size() - pos);
    std::memcpy(headerBytes_.data() + headerCount_, chunk.data() + pos, take);
    headerCount_ += take;
    pos += take;
    if (headerCount_ < MJpegHeader::kSize)
        return;
    headerCount_ = 0;

    header_ = MJpegHeader::Decode(headerBytes_.data());
    if (header_.type != 1 && header_.type != 2)
        Fail("Header type error.");
    if (std::memcmp(header_.tag.data(), "MJPG", 4) != 0)
        Fail("Header tag error.");
    if (header_.version != 1)
        Fail("Header version error.");

    payloadMissing_ = header_.payloadLength;
    if (header_.type == 1) {
        if (!frameOpen_) {
            if (header_.offset != 0)
                Fail("Header frame begin offset location error.");
            if (header_.totalSize == 0) {
                // An empty frame carries no picture: its record is stepped over.
                skipping_ = true;
                inPayload_ = true;
                return;
            }
            if (header_.totalSize > kMaxFrameSize)
                Fail("Header frame size error.");
            frameHeader_ = header_;
            frame_.clear();
            frame_.reserve(header_.totalSize);
            frameOpen_ = true;
        }
        if (header_.offset != frame_.size())
            Fail("Header frame offset location error.");
        // The frame buffer holds exactly the announced total size.
        if (header_.payloadLength > frameHeader_.totalSize - frame_.size())
            Fail("Header payload length error.");
        if (!videoStarted_) {
            videoStarted_ = true;
            host_.StartVideo(frameHeader_.width, frameHeader_.height);
        }
    } else {
        if (!audioActive_ && !audioTried_) {
            audioTried_ = true;
            audioFormat_ = header_.audioFormat;
            audioActive_ = profile_.audio && host_.OpenAudio(audioFormat_, header_.totalSize);
        }
        payload_.clear();
        if (audioActive_)
            payload_.reserve(header_.payloadLength);
    }
    inPayload_ = true;
}

void CMJpegParser::PayloadStep(std::span<const uint8_t> chunk, std::size_t& pos) {
    const std::size_t take = std::min(payloadMissing_, chunk.size() - pos);
    const uint8_t* from = chunk.data() + pos;
    if (skipping_) {
        payloadMissing_ -= take;
        pos += take;
        if (payloadMissing_ == 0)
            inPayload_ = skipping_ = false;
        return;
    }
    if (header_.type == 1)
        frame_.insert(frame_.end(), from, from + take); // checked against the total size
    else if (audioActive_)
        payload_.insert(payload_.end(), from, from + take);
    payloadMissing_ -= take;
    pos += take;
    if (payloadMissing_ > 0)
        return;

    inPayload_ = false;
    if (header_.type == 1) {
        if (frame_.size() == frameHeader_.totalSize)
            CompleteVideoFrame();
        return;
    }
    // Audio: one record is one frame; an empty record contributes nothing.
    if (audioActive_ && !payload_.empty() && audio_.Count() < profile_.mjpegAudioLimit) {
        label_.assign(header_.label.data(), strnlen(header_.label.data(), header_.label.size()));
        audio_.Add(std::move(payload_), header_.timestamp);
    }
    payload_ = {};
}

void CMJpegParser::CompleteVideoFrame() {
    frameOpen_ = false;
    if (video_.Count() >= profile_.mjpegVideoLimit) {
        std::vector<uint8_t>().swap(frame_);
        return;
    }
    label_.assign(frameHeader_.label.data(),
                  strnlen(frameHeader_.label.data(), frameHeader_.label.size()));
    video_.Add(std::move(frame_), frameHeader_.timestamp);
    frame_ = {};
}

} // namespace kestrova::stream

#include "asf_muxer.h"

#include "asf_guids.h"

#include <algorithm>

namespace kestrova::sim {

namespace {

void Put8(std::string& o, uint32_t v) {
    o += static_cast<char>(v & 0xFF);
}
void Put16(std::string& o, uint32_t v) {
    Put8(o, v);
    Put8(o, v >> 8);
}
void Put32(std::string& o, uint32_t v) {
    Put16(o, v & 0xFFFF);
    Put16(o, v >> 16);
}
void Put64(std::string& o, uint64_t v) {
    Put32(o, static_cast<uint32_t>(v));
    Put32(o, static_cast<uint32_t>(v >> 32));
}
void PutGuid(std::string& o, const asf::Guid& g) {
    o.append(g.begin(), g.end());
}

// Wraps a body in an object header: identifier and 64-bit size.
std::string Object(const asf::Guid& id, const std::string& body) {
    std::string o;
    PutGuid(o, id);
    Put64(o, 24 + body.size());
    return o + body;
}

constexpr asf::Guid kFileId = asf::MakeGuid(0x4B455354, 0x524F, 0x5641, 0x43414D53494D3031ULL);

std::string FileProperties(const AsfLayout& l) {
    std::string b;
    PutGuid(b, kFileId);
    Put64(b, 0);            // file size: unknown, live
    Put64(b, 0);            // creation date
    Put64(b, 0);            // data packets: unknown
    Put64(b, 0);            // play duration
    Put64(b, 0);            // send duration
    Put64(b, 0);            // preroll (ms)
    Put32(b, 1);            // flags: broadcast
    Put32(b, l.packetSize); // minimum data packet size
    Put32(b, l.packetSize); // maximum data packet size
    Put32(b, 2'000'000);    // maximum bit rate
    return Object(asf::kFileProperties, b);
}

std::string StreamProperties(const asf::Guid& type, int stream, const std::string& typeData) {
    std::string b;
    PutGuid(b, type);
    PutGuid(b, asf::kNoErrorCorrection);
    Put64(b, 0); // time offset
    Put32(b, static_cast<uint32_t>(typeData.size()));
    Put32(b, 0); // error correction data length
    Put16(b, static_cast<uint32_t>(stream));
    Put32(b, 0); // reserved
    return Object(asf::kStreamProperties, b + typeData);
}

std::string VideoTypeData(const AsfLayout& l) {
    const uint32_t biSize = 40 + static_cast<uint32_t>(l.videoConfig.size());
    std::string t;
    Put32(t, static_cast<uint32_t>(l.width));
    Put32(t, static_cast<uint32_t>(l.height));
    Put8(t, 2);       // reserved flags
    Put16(t, biSize); // format data size
    // BITMAPINFOHEADER
    Put32(t, biSize);
    Put32(t, static_cast<uint32_t>(l.width));
    Put32(t, static_cast<uint32_t>(l.height));
    Put16(t, 1);  // planes
    Put16(t, 24); // bit count
    t += "M4S2";
    Put32(t, static_cast<uint32_t>(l.width * l.height * 3));
    Put32(t, 0);
    Put32(t, 0);
    Put32(t, 0);
    Put32(t, 0);
    t.append(l.videoConfig.begin(), l.videoConfig.end());
    return t;
}

std::string AudioTypeData(const AsfLayout& l) {
    std::string t;
    Put16(t, 0x0045);                                    // G.726 ADPCM
    Put16(t, 1);                                         // channels
    Put32(t, 8000);                                      // samples per second
    Put32(t, static_cast<uint32_t>(l.audioBits) * 1000); // bytes per second
    Put16(t, static_cast<uint32_t>(l.audioBits));        // block: 8 samples
    Put16(t, static_cast<uint32_t>(l.audioBits));        // bits per sample = code size
    Put16(t, 0);                                         // no extra bytes
    return t;
}

std::string HeaderExtension() {
    std::string b;
    PutGuid(b, asf::kReserved1);
    Put16(b, 6);
    Put32(b, 0);
    return Object(asf::kHeaderExtension, b);
}

} // namespace

std::string BuildAsfHeader(const AsfLayout& l) {
    std::string objects =
        FileProperties(l) + StreamProperties(asf::kVideoMedia, 1, VideoTypeData(l));
    uint32_t count = 2;
    if (l.audioBits > 0) {
        objects += StreamProperties(asf::kAudioMedia, 2, AudioTypeData(l));
        ++count;
    }
    objects += HeaderExtension();
    ++count;

    std::string out;
    PutGuid(out, asf::kHeaderObject);
    Put64(out, 30 + objects.size());
    Put32(out, count);
    Put8(out, 1);
    Put8(out, 2);
    out += objects;

    PutGuid(out, asf::kDataObject);
    Put64(out, 0); // live: size unknown
    PutGuid(out, kFileId);
    Put64(out, 0); // total data packets: unknown
    Put8(out, 1);
    Put8(out, 1);
    return out;
}

AsfPacketizer::AsfPacketizer(uint32_t packetSize)
    : packetSize_(std::clamp<uint32_t>(packetSize, 64, 65535)) {}

void AsfPacketizer::AddVideo(std::span<const uint8_t> frame, bool key, uint32_t presentationMs,
                             const std::array<uint8_t, 4>& levels, std::string& out,
                             AsfDefect defect) {
    uint8_t streamByte = key ? 0x81 : 0x01;
    uint32_t announced = static_cast<uint32_t>(frame.size());
    if (defect == AsfDefect::BadStreamNumber)
        streamByte = 0x05;
    if (defect == AsfDefect::Oversize)
        announced /= 2;
    AddObject(streamByte, true, frame, presentationMs, &levels, announced, out);
}

void AsfPacketizer::AddAudio(std::span<const uint8_t> frame, uint32_t presentationMs,
                             std::string& out) {
    AddObject(0x02, false, frame, presentationMs, nullptr, static_cast<uint32_t>(frame.size()),
              out);
}

void AsfPacketizer::AddObject(uint8_t streamByte, bool video, std::span<const uint8_t> data,
                              uint32_t presentationMs, const std::array<uint8_t, 4>* levels,
                              uint32_t announcedSize, std::string& out) {
    constexpr size_t kMaxPayloads = 63;
    const uint8_t objectNumber = objectNumber_[streamByte & 0x03]++;
    size_t offset = 0;
    bool first = true;
    while (first || offset < data.size()) {
        const size_t header = first ? 17 : 9;
        const size_t used = kAsfPacketHeaderSize + payloads_.size();
        if (payloadCount_ == static_cast<int>(kMaxPayloads) || used + header >= packetSize_) {
            ClosePacket(out, nullptr);
            continue;
        }
        const size_t avail = packetSize_ - used - header;
        const size_t remaining = data.size() - offset;
        size_t take;
        if (!video || remaining > avail) {
            take = std::min(remaining, avail);
        } else if (remaining + 4 <= avail) {
            take = remaining; // completes the frame and leaves room for the motion levels
        } else if (avail > 4) {
            take = avail - 4; // hold the frame's end back for the next packet
        } else {
            ClosePacket(out, nullptr);
            continue;
        }
        if (payloadCount_ == 0)
            sendTime_ = presentationMs;
        Put8(payloads_, streamByte);
        Put8(payloads_, objectNumber);
        Put32(payloads_, static_cast<uint32_t>(offset));
        if (first) {
            Put8(payloads_, 8);
            Put32(payloads_, announcedSize);
            Put32(payloads_, presentationMs);
        } else {
            Put8(payloads_, 0);
        }
        Put16(payloads_, static_cast<uint32_t>(take));
        payloads_.append(reinterpret_cast<const char*>(data.data()) + offset, take);
        ++payloadCount_;
        offset += take;
        first = false;
        if (video && offset == data.size())
            ClosePacket(out, levels);
        else if (kAsfPacketHeaderSize + payloads_.size() == packetSize_)
            ClosePacket(out, nullptr);
    }
}

void AsfPacketizer::ClosePacket(std::string& out, const std::array<uint8_t, 4>* levels) {
    if (payloadCount_ == 0)
        return;
    const size_t padding = packetSize_ - kAsfPacketHeaderSize - payloads_.size();
    Put8(out, 0x82); // error correction data present, 2 bytes
    Put8(out, 0);
    Put8(out, 0);
    Put8(out, 0x11); // multiple payloads; padding length is a WORD
    Put8(out, 0x5D); // replicated data BYTE, offset DWORD, object number BYTE, stream BYTE
    Put16(out, static_cast<uint32_t>(padding));
    Put32(out, sendTime_);
    Put16(out, 0);                                          // duration
    Put8(out, 0x80 | static_cast<uint32_t>(payloadCount_)); // WORD payload lengths
    out += payloads_;
    std::string pad(padding, '\0');
    if (levels && padding >= 4)
        std::copy(levels->begin(), levels->end(), pad.begin());
    out += pad;
    payloads_.clear();
    payloadCount_ = 0;
}

void AsfPacketizer::Flush(std::string& out) {
    ClosePacket(out, nullptr);
}

} // namespace kestrova::sim

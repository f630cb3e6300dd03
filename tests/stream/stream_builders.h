#pragma once

// Builders for camera byte streams used by the stream tests and fuzz seeds.

#include "stream/asf_guids.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kestrova::stream::testing {

using Bytes = std::vector<uint8_t>;

inline void PutLe16(Bytes& b, std::size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(Bytes& b, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void Append(Bytes& to, const Bytes& from) {
    to.insert(to.end(), from.begin(), from.end());
}
inline Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// A deterministic payload of n bytes, distinct per seed.
inline Bytes Pattern(std::size_t n, uint8_t seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(seed + i * 7);
    return b;
}

struct MJpegRecord {
    uint8_t type = 1;
    uint32_t total = 0;
    uint16_t width = 320;
    uint16_t height = 240;
    uint32_t offset = 0;
    uint32_t timestamp = 0;
    uint16_t audioFormat = 4;
    uint8_t version = 1;
    const char* tag = "MJPG";
    std::string label = "cam";
    Bytes payload;

    Bytes Encode() const {
        Bytes b(48, 0);
        std::memcpy(b.data(), tag, 4);
        PutLe32(b, 4, total);
        PutLe16(b, 8, width);
        PutLe16(b, 10, height);
        PutLe32(b, 12, offset);
        PutLe16(b, 16, static_cast<uint32_t>(payload.size()));
        PutLe32(b, 18, timestamp);
        b[22] = type;
        PutLe16(b, 23, audioFormat);
        b[25] = version;
        std::memcpy(b.data() + 26, label.data(), std::min<std::size_t>(label.size(), 20));
        Append(b, payload);
        return b;
    }
};

// One video frame carried in records with the given payload lengths.
inline Bytes MJpegFrame(const Bytes& frame, std::initializer_list<std::size_t> parts,
                        uint32_t timestamp, uint16_t width = 320, uint16_t height = 240) {
    Bytes out;
    std::size_t offset = 0;
    for (std::size_t part : parts) {
        MJpegRecord r;
        r.total = static_cast<uint32_t>(frame.size());
        r.width = width;
        r.height = height;
        r.offset = static_cast<uint32_t>(offset);
        r.timestamp = timestamp + static_cast<uint32_t>(offset); // only the first one counts
        r.payload.assign(frame.begin() + offset, frame.begin() + offset + part);
        Append(out, r.Encode());
        offset += part;
    }
    return out;
}

inline Bytes MJpegAudio(const Bytes& payload, uint32_t timestamp, uint32_t frameSize = 160) {
    MJpegRecord r;
    r.type = 2;
    r.total = frameSize;
    r.timestamp = timestamp;
    r.payload = payload;
    return r.Encode();
}

// ASF stream in the camera's fixed layout.
struct AsfHeaderLayout {
    uint32_t packetSize = 512;
    int32_t width = 320;
    int32_t height = 240;
    Bytes config = {0x00, 0x00, 0x01, 0xB0, 0x01};
    bool audio = true;
    uint16_t bitsPerSample = 4;
    uint32_t sizeOverride = 0; // written as the header object's size when non-zero
};

inline Bytes AsfObject(const asf::Guid& guid, std::size_t size) {
    Bytes b(size, 0);
    std::memcpy(b.data(), guid.data(), 16);
    PutLe32(b, 16, static_cast<uint32_t>(size));
    return b;
}

inline Bytes AsfHeader(const AsfHeaderLayout& s) {
    Bytes sub;
    uint32_t count = 0;
    Bytes file = AsfObject(asf::kFilePropertiesObject, 104);
    PutLe32(file, 92, s.packetSize);
    PutLe32(file, 96, s.packetSize);
    Append(sub, file);
    ++count;

    Bytes video = AsfObject(asf::kStreamPropertiesObject, 129 + s.config.size());
    std::memcpy(video.data() + 24, asf::kVideoMedia.data(), 16);
    PutLe32(video, 89, static_cast<uint32_t>(40 + s.config.size()));
    PutLe32(video, 93, static_cast<uint32_t>(s.width));
    PutLe32(video, 97, static_cast<uint32_t>(s.height));
    std::memcpy(video.data() + 129, s.config.data(), s.config.size());
    Append(sub, video);
    ++count;

    if (s.audio) {
        Bytes audio = AsfObject(asf::kStreamPropertiesObject, 96);
        std::memcpy(audio.data() + 24, asf::kAudioMedia.data(), 16);
        PutLe16(audio, 92, s.bitsPerSample);
        Append(sub, audio);
        ++count;
    }
    Bytes skipped = AsfObject(asf::kDataObject, 30); // an object the parser steps over
    skipped[0] ^= 0xFF;
    Append(sub, skipped);
    ++count;

    Bytes head(30, 0);
    std::memcpy(head.data(), asf::kHeaderObject.data(), 16);
    PutLe32(head, 16, s.sizeOverride ? s.sizeOverride : static_cast<uint32_t>(30 + sub.size()));
    PutLe32(head, 24, count);
    Append(head, sub);
    Bytes data = AsfObject(asf::kDataObject, 50);
    Append(head, data);
    return head;
}

struct AsfPayload {
    uint8_t stream = 0x81;
    uint32_t offset = 0;
    bool replicated = true; // carries object size and presentation time
    uint32_t objectSize = 0;
    uint32_t time = 0;
    Bytes data;
    uint8_t replicatedLength = 0xFF; // 0xFF: 8 or 0 from `replicated`
};

// One data packet: payload flags at byte 13, padding length at bytes 5-6, padding bytes
// (`trailer` first, zeroes after) fill the packet to `packetSize`.
inline Bytes AsfPacket(uint32_t packetSize, const std::vector<AsfPayload>& payloads,
                       const Bytes& trailer = {}) {
    Bytes p(14, 0);
    p[0] = 0x82;
    p[3] = 0x10;
    p[4] = 0x5D;
    p[13] = static_cast<uint8_t>(0x80 | payloads.size());
    for (const auto& pl : payloads) {
        Bytes h(7, 0);
        h[0] = pl.stream;
        PutLe32(h, 2, pl.offset);
        const uint8_t rl =
            pl.replicatedLength != 0xFF ? pl.replicatedLength : (pl.replicated ? 8 : 0);
        h[6] = rl;
        Append(p, h);
        if (rl >= 8) {
            Bytes r(rl, 0);
            PutLe32(r, 0, pl.objectSize);
            PutLe32(r, 4, pl.time);
            Append(p, r);
        } else {
            p.resize(p.size() + rl, 0);
        }
        Bytes len(2, 0);
        PutLe16(len, 0, static_cast<uint32_t>(pl.data.size()));
        Append(p, len);
        Append(p, pl.data);
    }
    const std::size_t padding = packetSize > p.size() ? packetSize - p.size() : 0;
    PutLe16(p, 5, static_cast<uint32_t>(padding));
    Append(p, trailer);
    p.resize(packetSize, 0);
    return p;
}

// A complete media object in one payload.
inline AsfPayload Whole(uint8_t stream, const Bytes& data, uint32_t time) {
    AsfPayload pl;
    pl.stream = stream;
    pl.objectSize = static_cast<uint32_t>(data.size());
    pl.time = time;
    pl.data = data;
    return pl;
}

} // namespace kestrova::stream::testing

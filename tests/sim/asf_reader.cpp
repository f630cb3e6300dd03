#include "asf_reader.h"

#include "sim_test_util.h"

#include <cstring>
#include <map>

namespace kestrova::sim::test {

namespace {

// Identifiers spelled out byte by byte, independently of the simulator's table.
const std::string kHeaderGuid("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C",
                              16);
const std::string kDataGuid("\x36\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const std::string kFilePropsGuid("\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65",
                                 16);
const std::string
    kStreamPropsGuid("\x91\x07\xDC\xB7\xB7\xA9\xCF\x11\x8E\xE6\x00\xC0\x0C\x20\x53\x65", 16);
const std::string kVideoGuid("\xC0\xEF\x19\xBC\x4D\x5B\xCF\x11\xA8\xFD\x00\x80\x5F\x5C\x44\x2B",
                             16);
const std::string kAudioGuid("\x40\x9E\x69\xF8\x4D\x5B\xCF\x11\xA8\xFD\x00\x80\x5F\x5C\x44\x2B",
                             16);

} // namespace

std::optional<AsfHeaderInfo> ReadAsfHeader(std::string_view b, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<AsfHeaderInfo> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (b.size() < 30 || b.substr(0, 16) != kHeaderGuid)
        return fail("no header object");
    AsfHeaderInfo info;
    info.headerObjectSize = Le32(b, 16);
    const uint32_t count = Le32(b, 24);
    if (b.size() < info.headerObjectSize + 50)
        return fail("short header");
    size_t at = 30;
    for (uint32_t i = 0; i < count; ++i) {
        if (at + 24 > info.headerObjectSize)
            return fail("sub-object past the header object");
        const std::string_view obj = b.substr(at, Le32(b, at + 16));
        if (obj.size() < 24 || at + obj.size() > info.headerObjectSize)
            return fail("bad sub-object size");
        if (obj.substr(0, 16) == kFilePropsGuid) {
            info.packetSize = Le32(obj, 92);
            if (Le32(obj, 96) != info.packetSize)
                return fail("minimum and maximum packet sizes differ");
        } else if (obj.substr(0, 16) == kStreamPropsGuid) {
            const uint16_t number = Le16(obj, 72) & 0x7F;
            if (obj.substr(24, 16) == kVideoGuid) {
                if (number != 1)
                    return fail("video is not stream 1");
                const uint32_t biSize = Le32(obj, 89);
                info.width = static_cast<int>(Le32(obj, 93));
                info.height = static_cast<int>(Le32(obj, 97));
                info.fourcc = std::string(obj.substr(89 + 16, 4));
                if (biSize < 40 || 89 + biSize > obj.size())
                    return fail("bad BITMAPINFOHEADER size");
                info.videoConfig = std::string(obj.substr(129, biSize - 40));
                if (Le16(obj, 87) != biSize)
                    return fail("format data size differs from biSize");
            } else if (obj.substr(24, 16) == kAudioGuid) {
                if (number != 2)
                    return fail("audio is not stream 2");
                info.hasAudio = true;
                info.audioTag = Le16(obj, 78);
                info.audioChannels = Le16(obj, 80);
                info.audioRate = static_cast<int>(Le32(obj, 82));
                info.audioBits = Le16(obj, 92);
            }
        }
        at += obj.size();
    }
    if (at != info.headerObjectSize)
        return fail("sub-objects do not fill the header object");
    if (b.substr(at, 16) != kDataGuid)
        return fail("no data object after the header");
    info.dataStart = at + 50;
    return info;
}

AsfPackets ReadAsfPackets(std::string_view data, uint32_t packetSize) {
    AsfPackets out;
    struct Partial {
        AsfObject object;
        uint32_t size = 0;
    };
    std::map<int, Partial> open; // by stream number
    for (size_t base = 0; base + packetSize <= data.size(); base += packetSize) {
        const std::string_view p = data.substr(base, packetSize);
        const auto fail = [&](const std::string& why) {
            out.error = "packet " + std::to_string(out.packets) + ": " + why;
        };
        if (static_cast<uint8_t>(p[0]) != 0x82 || static_cast<uint8_t>(p[3]) != 0x11 ||
            static_cast<uint8_t>(p[4]) != 0x5D) {
            fail("unexpected packet flags");
            return out;
        }
        const uint16_t padding = Le16(p, 5);
        const uint8_t flags = static_cast<uint8_t>(p[13]);
        if ((flags & 0xC0) != 0x80) {
            fail("payload lengths are not 16-bit");
            return out;
        }
        const int count = flags & 0x3F;
        size_t at = 14;
        bool lastCompletedVideo = false;
        for (int i = 0; i < count; ++i) {
            if (at + 9 > p.size()) {
                fail("payload header past the packet");
                return out;
            }
            const uint8_t streamByte = static_cast<uint8_t>(p[at]);
            const uint32_t offset = Le32(p, at + 2);
            const uint8_t rep = static_cast<uint8_t>(p[at + 6]);
            if (streamByte != 0x81 && streamByte != 0x01 && streamByte != 0x02) {
                fail("stream number " + std::to_string(streamByte));
                return out;
            }
            const int stream = streamByte & 0x7F;
            at += 7;
            if (rep == 8) {
                if (offset != 0) {
                    fail("replicated data on a later payload");
                    return out;
                }
                if (open.count(stream)) {
                    fail("object abandoned before it completed");
                    return out;
                }
                Partial& part = open[stream];
                part.size = Le32(p, at);
                part.object.presentationMs = Le32(p, at + 4);
                part.object.streamByte = streamByte;
                at += 8;
            } else if (rep != 0 || !open.count(stream)) {
                fail("continuation without an object in progress");
                return out;
            }
            const uint16_t len = Le16(p, at);
            at += 2;
            Partial& part = open[stream];
            if (at + len > p.size() || offset != part.object.data.size() ||
                offset + len > part.size) {
                fail("payload does not fit its object");
                return out;
            }
            part.object.data.append(p.substr(at, len));
            at += len;
            lastCompletedVideo = false;
            if (part.object.data.size() == part.size) {
                if (stream == 1) {
                    if (i != count - 1) {
                        fail("a video frame completes before the packet's last payload");
                        return out;
                    }
                    lastCompletedVideo = true;
                }
                out.objects.push_back(std::move(part.object));
                open.erase(stream);
            }
        }
        if (at + padding != p.size()) {
            fail("payloads and padding do not fill the packet");
            return out;
        }
        if (lastCompletedVideo) {
            if (padding < 4) {
                fail("no room for the motion levels");
                return out;
            }
            std::array<uint8_t, 4> levels;
            std::memcpy(levels.data(), p.data() + at, 4);
            out.objects.back().motion = levels;
        }
        ++out.packets;
    }
    return out;
}

} // namespace kestrova::sim::test

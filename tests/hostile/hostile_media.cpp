#include "hostile/hostile_media.h"

#include "stream/asf_guids.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <jpeglib.h>
#include <mutex>
#include <stdexcept>
#include <unistd.h>

namespace kestrova::hostile {
namespace {

void PutLe16(Bytes& b, std::size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void PutLe32(Bytes& b, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void Append(Bytes& to, const Bytes& from) {
    to.insert(to.end(), from.begin(), from.end());
}

// One marker segment or scan of a JPEG: [begin, end) in the file, entropy data included
// for a scan.
struct Segment {
    uint8_t marker;
    std::size_t begin;
    std::size_t end;
    std::size_t dataBegin; // a scan's first entropy byte
};

std::vector<Segment> Segments(const Bytes& j) {
    std::vector<Segment> out;
    std::size_t at = 2; // after SOI
    while (at + 4 <= j.size() && j[at] == 0xFF) {
        const uint8_t marker = j[at + 1];
        if (marker == 0xD9)
            break;
        const std::size_t length = (std::size_t{j[at + 2]} << 8) | j[at + 3];
        Segment s{marker, at, at + 2 + length, at + 2 + length};
        if (marker == 0xDA) {
            std::size_t p = s.dataBegin;
            while (p + 1 < j.size() &&
                   !(j[p] == 0xFF && j[p + 1] != 0 && (j[p + 1] < 0xD0 || j[p + 1] > 0xD7)))
                ++p;
            s.end = p;
        }
        out.push_back(s);
        at = s.end;
    }
    return out;
}

std::filesystem::path WorkDir() {
    auto dir = std::filesystem::temp_directory_path() / ("hostile_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

Bytes ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Mpeg4Clip MakeClip() {
    const auto dir = WorkDir();
    const auto m4v = dir / "clip.m4v";
    const std::string command = "ffmpeg -nostdin -y -loglevel error -f lavfi -i "
                                "testsrc=size=320x240:rate=25 -frames:v 10 -pix_fmt yuv420p "
                                "-c:v mpeg4 -qscale:v 5 -g 5 -bf 0 -f m4v " +
                                m4v.string();
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("ffmpeg could not make the test clip");
    const Bytes bytes = ReadFile(m4v);
    std::filesystem::remove_all(dir);
    std::vector<std::size_t> vops;
    for (std::size_t i = 0; i + 3 < bytes.size(); ++i)
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && bytes[i + 3] == 0xB6)
            vops.push_back(i);
    Mpeg4Clip clip;
    if (vops.empty())
        throw std::runtime_error("the test clip has no pictures");
    clip.config.assign(bytes.begin(), bytes.begin() + static_cast<long>(vops[0]));
    for (std::size_t k = 0; k < vops.size(); ++k) {
        const std::size_t end = k + 1 < vops.size() ? vops[k + 1] : bytes.size();
        clip.frames.emplace_back(bytes.begin() + static_cast<long>(vops[k]),
                                 bytes.begin() + static_cast<long>(end));
    }
    return clip;
}

} // namespace

Bytes EncodeJpeg(int width, int height, bool progressive, int quality) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(static_cast<std::size_t>(width) * 3);
    while (c.next_scanline < c.image_height) {
        const int y = static_cast<int>(c.next_scanline);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<uint8_t>(x * 255 / std::max(1, width - 1));
            row[3 * x + 1] = static_cast<uint8_t>(y * 255 / std::max(1, height - 1));
            row[3 * x + 2] = static_cast<uint8_t>((x ^ y) & 0xFF);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes jpeg(out, out + size);
    std::free(out);
    return jpeg;
}

int CountScans(const Bytes& jpeg) {
    const auto segments = Segments(jpeg);
    return static_cast<int>(std::count_if(segments.begin(), segments.end(),
                                          [](const Segment& s) { return s.marker == 0xDA; }));
}

Bytes WithScans(const Bytes& progressive, int scans) {
    const auto segments = Segments(progressive);
    const Segment* smallest = nullptr;
    int have = 0;
    for (const Segment& s : segments) {
        if (s.marker != 0xDA)
            continue;
        ++have;
        if (!smallest || s.end - s.begin < smallest->end - smallest->begin)
            smallest = &s;
    }
    if (!smallest)
        return progressive;
    Bytes out(progressive.begin(), progressive.begin() + static_cast<long>(segments.back().end));
    const Bytes scan(progressive.begin() + static_cast<long>(smallest->begin),
                     progressive.begin() + static_cast<long>(smallest->end));
    for (; have < scans; ++have)
        Append(out, scan);
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

Bytes WithFrameSize(const Bytes& jpeg, int width, int height) {
    Bytes out = jpeg;
    for (const Segment& s : Segments(jpeg)) {
        if (s.marker >= 0xC0 && s.marker <= 0xC2) {
            out[s.begin + 5] = static_cast<uint8_t>(height >> 8);
            out[s.begin + 6] = static_cast<uint8_t>(height);
            out[s.begin + 7] = static_cast<uint8_t>(width >> 8);
            out[s.begin + 8] = static_cast<uint8_t>(width);
        }
    }
    return out;
}

Bytes CutInsideScan(const Bytes& jpeg, double fraction) {
    for (const Segment& s : Segments(jpeg)) {
        if (s.marker == 0xDA) {
            const auto cut = s.dataBegin + static_cast<std::size_t>(
                                               static_cast<double>(s.end - s.dataBegin) * fraction);
            return Bytes(jpeg.begin(), jpeg.begin() + static_cast<long>(cut));
        }
    }
    return jpeg;
}

Bytes WithStrayMarker(const Bytes& jpeg) {
    for (const Segment& s : Segments(jpeg)) {
        if (s.marker == 0xDA) {
            std::size_t at = s.dataBegin + (s.end - s.dataBegin) / 2;
            while (at > s.dataBegin && jpeg[at - 1] == 0xFF)
                --at; // never split a stuffed FF 00
            Bytes out(jpeg.begin(), jpeg.begin() + static_cast<long>(at));
            out.push_back(0xFF);
            out.push_back(0xD3);
            out.insert(out.end(), jpeg.begin() + static_cast<long>(at), jpeg.end());
            return out;
        }
    }
    return jpeg;
}

Bytes MJpegVideo(const Bytes& frame, uint32_t timestamp, long long totalSize, const char* tag,
                 int width, int height) {
    constexpr std::size_t kPiece = 60000;
    const uint32_t total =
        totalSize < 0 ? static_cast<uint32_t>(frame.size()) : static_cast<uint32_t>(totalSize);
    Bytes out;
    std::size_t offset = 0;
    do {
        const std::size_t part = std::min(kPiece, frame.size() - offset);
        Bytes r(48, 0);
        std::memcpy(r.data(), tag, 4);
        PutLe32(r, 4, total);
        PutLe16(r, 8, static_cast<uint32_t>(width));
        PutLe16(r, 10, static_cast<uint32_t>(height));
        PutLe32(r, 12, static_cast<uint32_t>(offset));
        PutLe16(r, 16, static_cast<uint32_t>(part));
        PutLe32(r, 18, timestamp);
        r[22] = 1;
        r[25] = 1;
        std::memcpy(r.data() + 26, "hostile", 7);
        r.insert(r.end(), frame.begin() + static_cast<long>(offset),
                 frame.begin() + static_cast<long>(offset + part));
        Append(out, r);
        offset += part;
    } while (offset < frame.size());
    return out;
}

const Mpeg4Clip& TestClip() {
    static std::once_flag once;
    static Mpeg4Clip clip;
    std::call_once(once, [] { clip = MakeClip(); });
    return clip;
}

Bytes AsfHead(const Mpeg4Clip& clip, const AsfOptions& o) {
    auto object = [](const stream::asf::Guid& guid, std::size_t size) {
        Bytes b(size, 0);
        std::memcpy(b.data(), guid.data(), 16);
        PutLe32(b, 16, static_cast<uint32_t>(size));
        return b;
    };
    Bytes sub;
    Bytes file = object(stream::asf::kFilePropertiesObject, 104);
    PutLe32(file, 92, o.packetSize);
    PutLe32(file, 96, o.packetSize);
    Append(sub, file);
    Bytes video = object(stream::asf::kStreamPropertiesObject, 129 + clip.config.size());
    std::memcpy(video.data() + 24, stream::asf::kVideoMedia.data(), 16);
    PutLe32(video, 89, static_cast<uint32_t>(40 + clip.config.size()));
    PutLe32(video, 93, static_cast<uint32_t>(o.width));
    PutLe32(video, 97, static_cast<uint32_t>(o.height));
    std::memcpy(video.data() + 129, clip.config.data(), clip.config.size());
    Append(sub, video);
    Bytes head(30, 0);
    std::memcpy(head.data(), stream::asf::kHeaderObject.data(), 16);
    PutLe32(head, 16, static_cast<uint32_t>(30 + sub.size()));
    PutLe32(head, 24, 2);
    Append(head, sub);
    Append(head, object(stream::asf::kDataObject, 50));
    return head;
}

std::vector<Bytes> AsfObject(const Bytes& data, uint32_t time, bool key, const AsfOptions& o,
                             long long announced) {
    std::vector<Bytes> packets;
    std::size_t offset = 0;
    do {
        const bool first = offset == 0;
        const std::size_t replicated = first ? o.replicatedLength : 0;
        const std::size_t room = o.packetSize - 14 - 7 - replicated - 2;
        const std::size_t piece = std::min(room, data.size() - offset);
        Bytes p(14, 0);
        p[0] = 0x82;
        p[3] = 0x10;
        p[4] = 0x5D;
        p[13] = 0x81; // one payload
        Bytes h(7, 0);
        h[0] = static_cast<uint8_t>(key ? (o.videoStream | 0x80) : o.videoStream);
        PutLe32(h, 2, static_cast<uint32_t>(offset));
        h[6] = static_cast<uint8_t>(replicated);
        Append(p, h);
        Bytes r(replicated, 0);
        if (replicated >= 8) {
            PutLe32(r, 0,
                    announced < 0 ? static_cast<uint32_t>(data.size())
                                  : static_cast<uint32_t>(announced));
            PutLe32(r, 4, time);
        }
        Append(p, r);
        Bytes length(2, 0);
        PutLe16(length, 0, static_cast<uint32_t>(piece));
        Append(p, length);
        p.insert(p.end(), data.begin() + static_cast<long>(offset),
                 data.begin() + static_cast<long>(offset + piece));
        PutLe16(p, 5, static_cast<uint32_t>(o.packetSize - p.size()));
        p.resize(o.packetSize, 0);
        packets.push_back(std::move(p));
        offset += piece;
    } while (offset < data.size());
    return packets;
}

} // namespace kestrova::hostile

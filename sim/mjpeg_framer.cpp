#include "mjpeg_framer.h"

#include <algorithm>
#include <cstring>

namespace kestrova::sim {

namespace {

void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

} // namespace

void AppendRecordHeader(std::string& out, const MjpegRecordHeader& h) {
    out.append(h.tag, 4);
    Put32(out, h.totalSize);
    Put16(out, h.width);
    Put16(out, h.height);
    Put32(out, h.offset);
    Put16(out, h.payloadLength);
    Put32(out, h.timestamp);
    out += static_cast<char>(h.type);
    Put16(out, h.audioFormat);
    out += static_cast<char>(h.version);
    std::string label = h.label.substr(0, 20);
    label.resize(20, '\0');
    out += label;
    Put16(out, 0);
}

void AppendVideoFrame(std::string& out, std::span<const uint8_t> jpeg, int width, int height,
                      uint32_t timestamp, size_t maxPayload, std::string_view label,
                      MjpegDefect defect) {
    maxPayload = std::clamp<size_t>(maxPayload, 1, 0xFFFF);
    // At least two records, each no longer than maxPayload.
    size_t piece = std::min(maxPayload, std::max<size_t>(1, (jpeg.size() + 1) / 2));
    size_t offset = 0;
    int index = 0;
    do {
        const size_t len = std::min(piece, jpeg.size() - offset);
        MjpegRecordHeader h;
        h.totalSize = static_cast<uint32_t>(jpeg.size());
        h.width = static_cast<uint16_t>(width);
        h.height = static_cast<uint16_t>(height);
        h.offset = static_cast<uint32_t>(offset);
        h.payloadLength = static_cast<uint16_t>(len);
        h.timestamp = timestamp;
        h.type = static_cast<uint8_t>(MjpegRecordType::Video);
        h.label = std::string(label);
        if (index == 0) {
            switch (defect) {
            case MjpegDefect::BadTag:
                std::memcpy(h.tag, "MJPX", 4);
                break;
            case MjpegDefect::BadType:
                h.type = 7;
                break;
            case MjpegDefect::BadVersion:
                h.version = 2;
                break;
            case MjpegDefect::BadBeginOffset:
                h.offset = 16;
                break;
            default:
                break;
            }
        }
        if (index == 1 && defect == MjpegDefect::BadOffset)
            h.offset += 1;
        if (defect == MjpegDefect::Oversize) // the first record already runs past the end
            h.totalSize = static_cast<uint32_t>(std::max<size_t>(piece, 2) - 1);
        AppendRecordHeader(out, h);
        out.append(reinterpret_cast<const char*>(jpeg.data()) + offset, len);
        offset += len;
        ++index;
    } while (offset < jpeg.size());
}

void AppendAudioRecord(std::string& out, std::span<const uint8_t> g726, int bits,
                       uint32_t timestamp, std::string_view label) {
    MjpegRecordHeader h;
    h.totalSize = static_cast<uint32_t>(g726.size());
    h.payloadLength = static_cast<uint16_t>(std::min<size_t>(g726.size(), 0xFFFF));
    h.timestamp = timestamp;
    h.type = static_cast<uint8_t>(MjpegRecordType::Audio);
    h.audioFormat = static_cast<uint16_t>(bits);
    h.label = std::string(label);
    AppendRecordHeader(out, h);
    out.append(reinterpret_cast<const char*>(g726.data()), h.payloadLength);
}

} // namespace kestrova::sim

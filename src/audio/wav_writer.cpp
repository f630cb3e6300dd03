#include "audio/wav_writer.h"

#include <algorithm>
#include <array>
#include <limits>

namespace kestrova::audio {
namespace {

void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

constexpr std::size_t kHeaderBytes = 44;
// RIFF sizes are 32-bit; a longer recording keeps its data but caps the header.
constexpr std::uint64_t kMaxData = std::numeric_limits<std::uint32_t>::max() - kHeaderBytes;

} // namespace

WavWriter::~WavWriter() {
    Close();
}

bool WavWriter::Open(const std::string& path, const AudioFormat& format) {
    Close();
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        return false;
    }
    format_ = format;
    dataBytes_ = 0;
    if (!WriteHeader()) {
        Close();
        return false;
    }
    return true;
}

bool WavWriter::WriteHeader() {
    std::array<std::uint8_t, kHeaderBytes> h{};
    const auto data = static_cast<std::uint32_t>(std::min(dataBytes_, kMaxData));
    std::copy_n("RIFF", 4, h.begin());
    Put32(&h[4], static_cast<std::uint32_t>(36 + data));
    std::copy_n("WAVEfmt ", 8, h.begin() + 8);
    Put32(&h[16], 16);
    Put16(&h[20], 1); // PCM
    Put16(&h[22], static_cast<std::uint16_t>(format_.channels));
    Put32(&h[24], static_cast<std::uint32_t>(format_.samplesPerSecond));
    Put32(&h[28], static_cast<std::uint32_t>(format_.bytesPerSecond));
    Put16(&h[32], static_cast<std::uint16_t>(format_.blockAlign));
    Put16(&h[34], static_cast<std::uint16_t>(format_.bitsPerSample));
    std::copy_n("data", 4, h.begin() + 36);
    Put32(&h[40], data);
    return std::fseek(file_, 0, SEEK_SET) == 0 &&
           std::fwrite(h.data(), 1, h.size(), file_) == h.size() &&
           std::fseek(file_, 0, SEEK_END) == 0;
}

bool WavWriter::Append(std::span<const std::uint8_t> pcm) {
    if (file_ == nullptr) {
        return false;
    }
    if (pcm.empty()) {
        return true;
    }
    const std::size_t n = std::fwrite(pcm.data(), 1, pcm.size(), file_);
    dataBytes_ += n;
    return n == pcm.size();
}

bool WavWriter::Flush() {
    if (file_ == nullptr) {
        return false;
    }
    return WriteHeader() && std::fflush(file_) == 0;
}

void WavWriter::Close() {
    if (file_ == nullptr) {
        return;
    }
    Flush();
    std::fclose(file_);
    file_ = nullptr;
}

} // namespace kestrova::audio

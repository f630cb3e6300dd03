#pragma once

#include "audio/audio_format.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace kestrova::audio {

// Writes PCM to a RIFF/WAVE file. The header's sizes are brought up to date by
// Flush and on Close, so a file that is still being written reads as everything
// appended up to the last Flush.
class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates (truncates) the file and writes the header. False when it cannot.
    bool Open(const std::string& path, const AudioFormat& format);
    bool IsOpen() const { return file_ != nullptr; }
    bool Append(std::span<const std::uint8_t> pcm);
    bool Flush();
    void Close();
    std::uint64_t DataBytes() const { return dataBytes_; }

private:
    bool WriteHeader();

    std::FILE* file_ = nullptr;
    AudioFormat format_{};
    std::uint64_t dataBytes_ = 0;
};

} // namespace kestrova::audio

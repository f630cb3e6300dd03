#pragma once

#include <cstdint>
#include <span>

namespace kestrova::stream {

// The audio object as a session sees it.
class IAudioOutput {
public:
    virtual ~IAudioOutput() = default;
    virtual bool Open(int formatCode, uint32_t frameSize) = 0;
    virtual bool StartThread() = 0;
    virtual bool StopThread(uint32_t timeoutMs) = 0;
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;
};

// A display path as a session sees it. The Motion-JPEG path ignores the configuration
// bytes; only the MPEG-4 path holds a decoder.
class IVideoPath {
public:
    virtual ~IVideoPath() = default;
    virtual bool StartVideo(int width, int height, std::span<const uint8_t> config) = 0;
    virtual bool StartThread() = 0;
    virtual bool StopThread(uint32_t timeoutMs) = 0;
    virtual bool DecoderOpen() const { return false; }
    virtual void CloseDecoder() {}
};

} // namespace kestrova::stream

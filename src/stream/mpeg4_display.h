#pragma once

#include "stream/consumers.h"
#include "stream/engine_timings.h"
#include "stream/stream_profile.h"
#include "stream/stream_thread.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

struct DECODER;

namespace kestrova {
class CYuvToRgb;
}

namespace kestrova::stream {

// Display path of the ASF stream: pops MPEG-4 frames, decodes them, converts the picture
// to 24-bit colour and hands it to the window's drawing call on this thread. It sets the
// stream pacing value on its first picture and the video clock after every picture.
class CMpeg4Display : public CStreamThread, public IVideoPath {
public:
    // Largest picture accepted from a stream header (the decoder's largest, doubled).
    static constexpr int kMaxWidth = kMaxPictureWidth;
    static constexpr int kMaxHeight = kMaxPictureHeight;

    explicit CMpeg4Display(StreamWindow& window,
                           const StreamProfile& profile = StreamProfile::Viewer());
    ~CMpeg4Display() override;

    void SetTimings(const EngineTimings& timings) { timings_ = timings; }

    // Keeps the codec configuration, prepares the colour tables and creates the decoder;
    // false (nothing kept) when either fails, the size is unusable or a run still goes on.
    bool StartVideo(int width, int height, std::span<const uint8_t> config) override;
    bool StartThread() override { return Start(); }
    bool StopThread(uint32_t timeoutMs) override { return CStreamThread::StopThread(timeoutMs); }
    bool DecoderOpen() const override { return decoderOpen_; }
    void CloseDecoder() override;

    int CurrentWidth() const { return width_; }
    int CurrentHeight() const { return height_; }
    // Frames dropped because they did not fit the buffers or did not decode.
    uint32_t DroppedFrames() const { return dropped_; }
    uint32_t DecodedPictures() const { return decoded_; }

protected:
    int Run() override;
    void OnStopRequested() override;

private:
    int Loop();
    void ReleaseDecoder();

    StreamProfile profile_;
    EngineTimings timings_;
    std::vector<uint8_t> config_;
    bool prepend_ = false;
    DECODER* decoder_ = nullptr;
    std::unique_ptr<CYuvToRgb> converter_;
    std::atomic<bool> decoderOpen_{false};
    std::atomic<int> width_{0}, height_{0};
    std::atomic<uint32_t> dropped_{0}, decoded_{0};
};

} // namespace kestrova::stream

#pragma once

#include "stream/consumers.h"
#include "stream/engine_timings.h"
#include "stream/stream_profile.h"
#include "stream/stream_thread.h"

#include <atomic>
#include <string>

namespace kestrova::stream {

// Display path of the Motion-JPEG stream: pops frames, decodes each as JPEG and hands the
// picture to the window's drawing call on this thread.
class CJpegDisplay : public CStreamThread, public IVideoPath {
public:
    // Most scans a stream picture may have (a camera sends one).
    static constexpr int kMaxPictureScans = 64;

    explicit CJpegDisplay(StreamWindow& window,
                          const StreamProfile& profile = StreamProfile::Viewer());
    ~CJpegDisplay() override;

    void SetTimings(const EngineTimings& timings) { timings_ = timings; }

    // Always accepts; the configuration bytes are not used by this path.
    bool StartVideo(int width, int height, std::span<const uint8_t> config) override;
    bool StartThread() override { return Start(); }
    bool StopThread(uint32_t timeoutMs) override { return CStreamThread::StopThread(timeoutMs); }

    bool Showing() const { return showing_; }
    int CurrentWidth() const { return width_; }
    int CurrentHeight() const { return height_; }

protected:
    int Run() override;
    void OnStopRequested() override;
    std::string EndText() const override { return endText_; }

private:
    int Loop();

    StreamProfile profile_;
    EngineTimings timings_;
    std::atomic<bool> showing_{false};
    std::atomic<int> width_{0}, height_{0};
    std::string endText_; // written and read on the thread only
};

} // namespace kestrova::stream

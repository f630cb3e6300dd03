// One live view as the viewer runs it, without the widget: the stream session, its display
// path (decoding) and the viewer's frame composer, whose paint puts every picture into an
// image standing in for the window's backing store. Each painted picture's timestamp and
// completion time are kept for the measurements.
#pragma once

#include "stream/asf_session.h"
#include "stream/jpeg_display.h"
#include "stream/mjpeg_session.h"
#include "stream/mpeg4_display.h"
#include "viewer/frame_composer.h"
#include "viewer/path_view.h"
#include "viewers/frame_schedule.h"

#include <QImage>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kestrova::bench {

struct Composed {
    uint32_t timestamp;
    int64_t atNs;
};

class ViewerPipeline final : public stream::StreamWindow {
public:
    explicit ViewerPipeline(StreamKind kind);
    ~ViewerPipeline() override;

    bool Start(const std::string& url, const std::string& user, const std::string& password);
    void RequestStop(); // lets many pipelines stop side by side
    void Stop();

    std::vector<Composed> ComposedPictures() const;
    // Result codes the engine reported (a healthy run reports none).
    int EndedCount() const { return ended_.load(); }

    void PostStreamMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    void DrawPicture(const stream::VideoPicture& picture) override;
    // The composer's paint converts MPEG-4 planes straight into the backing store.
    bool TakesPlanarPictures() const override { return true; }

private:
    class SilentAudio;
    viewer::FrameComposer composer_;
    viewer::PathView view_;
    QImage backing_;
    mutable std::mutex mutex_;
    std::vector<Composed> composed_;
    std::atomic<int> ended_{0};
    std::unique_ptr<SilentAudio> audio_;
    std::unique_ptr<stream::IVideoPath> display_;
    std::unique_ptr<stream::CStreamSession> session_; // last: stops before the rest goes
};

} // namespace kestrova::bench

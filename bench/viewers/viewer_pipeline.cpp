#include "viewers/viewer_pipeline.h"

#include <QPainter>

namespace kestrova::bench {

// The benchmark measures video; the stream's audio is parsed and dropped.
class ViewerPipeline::SilentAudio final : public stream::IAudioOutput {
public:
    bool Open(int, uint32_t) override { return false; }
    bool StartThread() override { return false; }
    bool StopThread(uint32_t) override { return true; }
    bool IsOpen() const override { return false; }
    void Close() override {}
};

ViewerPipeline::ViewerPipeline(StreamKind kind) : audio_(std::make_unique<SilentAudio>()) {
    composed_.reserve(4096);
    if (kind == StreamKind::Asf) {
        display_ = std::make_unique<stream::CMpeg4Display>(*this);
        session_ = std::make_unique<stream::CAsfSession>(*this);
    } else {
        display_ = std::make_unique<stream::CJpegDisplay>(*this);
        session_ = std::make_unique<stream::CMJpegSession>(*this);
    }
    session_->SetDisplay(display_.get());
    session_->SetAudio(audio_.get());
}

ViewerPipeline::~ViewerPipeline() {
    Stop();
}

bool ViewerPipeline::Start(const std::string& url, const std::string& user,
                           const std::string& password) {
    session_->SetTarget(url, user, password);
    return session_->Start();
}

void ViewerPipeline::RequestStop() {
    session_->RequestStop();
}

void ViewerPipeline::Stop() {
    if (session_)
        session_->StopThread(session_->Timings().sessionStop);
}

std::vector<Composed> ViewerPipeline::ComposedPictures() const {
    std::lock_guard lock(mutex_);
    return composed_;
}

void ViewerPipeline::PostStreamMessage(uint32_t message, uintptr_t, intptr_t) {
    if (message == stream::WM_STREAM_ENDED)
        ended_.fetch_add(1);
}

void ViewerPipeline::DrawPicture(const stream::VideoPicture& picture) {
    if (!composer_.Compose(picture, view_))
        return;
    // The window's paint, into an image standing in for its backing store: an MPEG-4
    // picture's colours are converted here.
    if (backing_.width() != picture.width || backing_.height() != picture.height)
        backing_ = QImage(picture.width, picture.height, QImage::Format_RGB32);
    {
        QPainter painter(&backing_);
        composer_.Paint(painter);
    }
    const int64_t now = NowNs();
    std::lock_guard lock(mutex_);
    composed_.push_back({picture.timestamp, now});
}

} // namespace kestrova::bench

#include "stream/jpeg_display.h"

#include "codec/image/frame_image.h"
#include "stream/player_exception.h"

#include <chrono>
#include <new>
#include <thread>

namespace kestrova::stream {

CJpegDisplay::CJpegDisplay(StreamWindow& window, const StreamProfile& profile)
    : CStreamThread(&window), profile_(profile) {}

CJpegDisplay::~CJpegDisplay() {
    CStreamThread::StopThread(timings_.consumerStop);
}

bool CJpegDisplay::StartVideo(int width, int height, std::span<const uint8_t>) {
    width_ = width;
    height_ = height;
    showing_ = true;
    if (profile_.postReadyMessages)
        Window()->PostStreamMessage(WM_VIDEO_READY, 0, 0);
    return true;
}

void CJpegDisplay::OnStopRequested() {
    if (Window())
        Window()->VideoQueue().WakeWaiters();
}

int CJpegDisplay::Run() {
    int code;
    try {
        code = Loop();
    } catch (const std::bad_alloc&) {
        code = kOutOfMemory;
    } catch (...) {
        code = kOtherError;
    }
    showing_ = false;
    return code;
}

int CJpegDisplay::Loop() {
    FrameImage image;
    CFrameChain& queue = Window()->VideoQueue();
    while (!IsStopRequested()) {
        auto frame = queue.WaitPop(StopFlag(), std::chrono::milliseconds(timings_.idleWait));
        if (!frame || frame->data.empty())
            continue;
        if (!image.Decode(frame->data, ImageFormat::Jpeg))
            return kMalformed;
        VideoPicture picture;
        picture.width = image.Width();
        picture.height = image.Height();
        picture.stride = image.Stride();
        picture.timestamp = frame->timestamp;
        picture.bgr = std::span<const uint8_t>(
            image.Bits(), static_cast<std::size_t>(picture.stride) * picture.height);
        Window()->DrawPicture(picture);
        image.Destroy();
    }
    return kStopped;
}

} // namespace kestrova::stream

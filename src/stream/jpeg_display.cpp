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
    // A decode in progress is finished before the members it uses go.
    StopAndJoin();
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
    endText_.clear();
    int code;
    try {
        code = Loop();
    } catch (const std::bad_alloc&) {
        endText_ = "Out of memory showing a picture.";
        code = kOutOfMemory;
    } catch (...) {
        code = kOtherError;
    }
    showing_ = false;
    return code;
}

int CJpegDisplay::Loop() {
    // A stream picture is refused when the display could not show it anyway, before its
    // pixels are decoded, and after a few dozen scans.
    const image::JpegLimits limits{kMaxPictureWidth, kMaxPictureHeight, kMaxPictureScans};
    FrameImage image;
    CFrameChain& queue = Window()->VideoQueue();
    while (!IsStopRequested()) {
        auto frame = queue.WaitPop(StopFlag(), std::chrono::milliseconds(timings_.idleWait));
        if (!frame || frame->data.empty())
            continue;
        // Damage libjpeg only warns about is shown as it renders; fatal errors end the path.
        const image::JpegResult decoded = image.DecodeJpeg(frame->data, limits);
        if (!decoded.Ok()) {
            endText_ = image::DescribeJpegFailure(decoded, limits);
            return decoded.status == image::JpegStatus::NoMemory ? kOutOfMemory : kMalformed;
        }
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

#include "stream/mpeg4_display.h"

#include "codec/mpeg4/decoder.h"
#include "codec/yuv/yuv2rgb.h"
#include "codec/yuv/yuv_convert.h"
#include "stream/player_exception.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

namespace kestrova::stream {

CMpeg4Display::CMpeg4Display(StreamWindow& window, const StreamProfile& profile)
    : CStreamThread(&window), profile_(profile) {}

CMpeg4Display::~CMpeg4Display() {
    // A decode in progress is finished before the decoder it uses goes.
    StopAndJoin();
    ReleaseDecoder();
}

bool CMpeg4Display::StartVideo(int width, int height, std::span<const uint8_t> config) {
    if (!IsFinished() || width <= 0 || height <= 0 || width > kMaxWidth || height > kMaxHeight)
        return false;
    ReleaseDecoder();
    try {
        width_ = width;
        height_ = height;
        config_.assign(config.begin(), config.end());
        converter_ = std::make_unique<CYuvToRgb>();
        if (!converter_->Initialise()) {
            converter_.reset();
            return false;
        }
    } catch (const std::bad_alloc&) {
        converter_.reset();
        return false;
    }
    decoder_ = reinterpret_cast<DECODER*>(decoder_create());
    if (!decoder_) {
        converter_.reset();
        return false;
    }
    decoderOpen_ = true;
    prepend_ = true;
    if (profile_.postReadyMessages)
        Window()->PostStreamMessage(WM_VIDEO_READY, 0, 0);
    return true;
}

void CMpeg4Display::CloseDecoder() {
    // A run that did not stop in time still uses the decoder; it is released later, when
    // the path is started again or destroyed.
    if (!IsFinished())
        return;
    ReleaseDecoder();
}

void CMpeg4Display::ReleaseDecoder() {
    if (decoder_) {
        decoder_destroy(decoder_);
        decoder_ = nullptr;
    }
    if (converter_)
        converter_->ReleaseClampTable();
    converter_.reset();
    decoderOpen_ = false;
}

void CMpeg4Display::OnStopRequested() {
    if (Window())
        Window()->VideoQueue().WakeWaiters();
}

int CMpeg4Display::Run() {
    try {
        return Loop();
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    } catch (...) {
        return kOtherError;
    }
}

int CMpeg4Display::Loop() {
    if (!decoder_ || !converter_)
        return kStopped;
    // The buffers hold the picture announced by the stream header (or the fixed size of the
    // motion control); what does not fit them is dropped, never written past them.
    const int maxW = profile_.maxPictureWidth > 0 ? profile_.maxPictureWidth : width_.load();
    const int maxH = profile_.maxPictureHeight > 0 ? profile_.maxPictureHeight : height_.load();
    const std::size_t pixels = static_cast<std::size_t>(maxW) * maxH;
    const std::size_t inputCapacity = profile_.mpeg4InputCapacity > 0
                                          ? profile_.mpeg4InputCapacity
                                          : static_cast<std::size_t>(width_) * height_;
    // A window that converts the planes itself needs no 24-bit picture from here.
    const bool windowConverts = Window()->TakesPlanarPictures();
    std::vector<uint8_t> output(pixels * 4);
    std::vector<uint8_t> colour(windowConverts ? 0 : pixels * 3);
    std::vector<uint8_t> input;
    input.reserve(inputCapacity);
    decoder_set_output_capacity(decoder_, static_cast<int>(output.size()));

    bool first = true;
    uint32_t pictures = 0;
    CFrameChain& queue = Window()->VideoQueue();
    while (!IsStopRequested()) {
        auto frame = queue.WaitPop(StopFlag(), std::chrono::milliseconds(timings_.idleWait));
        if (!frame)
            continue;
        const std::size_t configBytes = prepend_ ? config_.size() : 0;
        if (frame->data.empty() || configBytes + frame->data.size() > inputCapacity) {
            ++dropped_;
            continue;
        }
        input.clear();
        if (prepend_) {
            input.insert(input.end(), config_.begin(), config_.end());
            prepend_ = false;
        }
        input.insert(input.end(), frame->data.begin(), frame->data.end());
        const uint32_t timestamp = frame->timestamp;
        frame.reset();

        int length = static_cast<int>(input.size());
        // The picture is converted straight from the decoder's own store, not copied out.
        mpeg4::PictureView view;
        const int failed =
            mpeg4::decoder_decode_view(decoder_, output.data(), input.data(), &length, &view);
        decoder_->deblocking = 0; // only the first picture after the start is deblocked
        if (failed) {
            ++dropped_;
            continue;
        }
        int w = decoder_->width;
        int h = decoder_->height;
        if (decoder_->doubling) {
            w *= 2;
            h *= 2;
        }
        if (w <= 0 || h <= 0 || w > maxW || h > maxH) {
            ++dropped_;
            continue;
        }
        if (first) {
            Window()->SetPacingValue(w <= profile_.narrowWidth ? profile_.pacingNarrow
                                                               : profile_.pacingWide);
            first = false;
        }
        const std::size_t luma = static_cast<std::size_t>(w) * h;
        if (windowConverts) {
            if (!yuv::isConvertibleSize(w, h)) {
                ++dropped_;
                continue;
            }
        } else if (!converter_->Convert(view.y, view.cb, view.cr, view.luma_stride,
                                        view.chroma_stride, colour.data(), w, h)) {
            ++dropped_;
            continue;
        }
        ++decoded_;
        if (pictures++ % static_cast<uint32_t>(std::max(1, profile_.drawEvery)) == 0) {
            VideoPicture picture;
            picture.width = w;
            picture.height = h;
            picture.stride = w * 3;
            picture.timestamp = timestamp;
            const PlanarSource planes{
                view.y, view.cb, view.cr, view.luma_stride, view.chroma_stride, converter_.get()};
            if (windowConverts)
                picture.planar = &planes;
            else
                picture.bgr = std::span<const uint8_t>(colour.data(), luma * 3);
            Window()->DrawPicture(picture);
        }
        Window()->SetVideoClock(timestamp);
    }
    return kStopped;
}

} // namespace kestrova::stream

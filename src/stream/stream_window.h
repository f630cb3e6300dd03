#pragma once

#include "stream/frame_chain.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

namespace kestrova {
class CYuvToRgb;
}

namespace kestrova::stream {

// Private messages the engine posts to its window.
inline constexpr uint32_t WM_STREAM_ENDED = 0x1B00;
inline constexpr uint32_t WM_VIDEO_READY = 0x1B01;
inline constexpr uint32_t WM_AUDIO_READY = 0x1B02;

inline constexpr int kInitialPacing = 18;

// The largest picture the display paths accept: larger stream pictures are refused before
// memory is taken for them.
inline constexpr int kMaxPictureWidth = 2048;
inline constexpr int kMaxPictureHeight = 1536;

// A decoded MPEG-4 picture as the decoder keeps it (4:2:0 planes, lines the given
// strides apart) with its display path's converter, for a window that converts pictures
// itself, straight into its own surface's format.
struct PlanarSource {
    const uint8_t* y = nullptr;
    const uint8_t* cb = nullptr;
    const uint8_t* cr = nullptr;
    std::ptrdiff_t lumaStride = 0;
    std::ptrdiff_t chromaStride = 0;
    CYuvToRgb* converter = nullptr;
};

// A decoded picture handed to the window for drawing: 24-bit blue-green-red rows,
// bottom row first, `stride` bytes apart; or, for a window that takes planar pictures,
// the planes alone (`bgr` empty). Either is valid only during the drawing call.
struct VideoPicture {
    std::span<const uint8_t> bgr;
    int width = 0;
    int height = 0;
    int stride = 0;
    uint32_t timestamp = 0;
    const PlanarSource* planar = nullptr;
};

// What the engine needs of the window that owns it: the two frame queues, the pacing
// value, the video and audio clocks, a way to post messages and the drawing call.
// Posting must not block; the drawing call runs on the display path's thread.
class StreamWindow {
public:
    virtual ~StreamWindow() = default;

    virtual void PostStreamMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual void DrawPicture(const VideoPicture& picture) = 0;
    // True for a window whose drawing call takes MPEG-4 pictures as planes
    // (VideoPicture::planar) and converts them itself: the display path then skips its
    // own 24-bit conversion. Asked once per play.
    virtual bool TakesPlanarPictures() const { return false; }
    // The engine's own words for why a play ended (`code` as posted with WM_STREAM_ENDED,
    // called just before the post) or for something the user should know while the play
    // goes on (`code` 0, e.g. a picture size the display refused). Any engine thread.
    virtual void StreamDiagnostic(int /*code*/, const std::string& /*text*/) {}

    CFrameChain& VideoQueue() { return videoQueue_; }
    CFrameChain& AudioQueue() { return audioQueue_; }

    int PacingValue() const { return pacing_.load(std::memory_order_relaxed); }
    void SetPacingValue(int value) { pacing_.store(value, std::memory_order_relaxed); }

    uint32_t VideoClock() const {
        std::lock_guard lock(clockMutex_);
        return videoClock_;
    }
    void SetVideoClock(uint32_t value) {
        std::lock_guard lock(clockMutex_);
        videoClock_ = value;
    }
    uint32_t AudioClock() const {
        std::lock_guard lock(clockMutex_);
        return audioClock_;
    }
    void SetAudioClock(uint32_t value) {
        std::lock_guard lock(clockMutex_);
        audioClock_ = value;
    }
    void ResetClocks() {
        std::lock_guard lock(clockMutex_);
        videoClock_ = 0;
        audioClock_ = 0;
    }

private:
    CFrameChain videoQueue_;
    CFrameChain audioQueue_;
    std::atomic<int> pacing_{kInitialPacing};
    mutable std::mutex clockMutex_;
    uint32_t videoClock_ = 0;
    uint32_t audioClock_ = 0;
};

} // namespace kestrova::stream

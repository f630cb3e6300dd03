#include "audio/audio_player.h"

#include "stream/player_exception.h"
#include "stream/stream_window.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <ios>
#include <new>

namespace kestrova::audio {

CAudioPlayer::CAudioPlayer(stream::StreamWindow* window, std::shared_ptr<SoundDevice> device,
                           BlockDecoderFactory decoders)
    : CStreamThread(window), device_(std::move(device)), decoderFactory_(std::move(decoders)) {}

CAudioPlayer::~CAudioPlayer() {
    CStreamThread::StopThread(8000);
    Close();
}

bool CAudioPlayer::Open(int formatCode, std::uint32_t frameSize) {
    if (open_.load() || !device_) {
        return false;
    }
    if (!device_->Open(kOutputFormat)) {
        return false;
    }
    if (!buffer_.Create(*device_, kOutputFormat, formatCode, frameSize)) {
        device_->Close();
        return false;
    }
    try {
        decoder_ = decoderFactory_ ? std::shared_ptr<BlockDecoder>(decoderFactory_()) : nullptr;
    } catch (...) {
        // No decoder, no play: leave nothing open behind a failed Open.
        buffer_.Release();
        device_->Close();
        return false;
    }
    formatCode_ = formatCode;
    frameSize_ = frameSize;
    open_.store(true);
    if (stream::StreamWindow* window = Window()) {
        window->PostStreamMessage(stream::WM_AUDIO_READY, 0, 0);
    }
    return true;
}

void CAudioPlayer::Close() {
    buffer_.Stop();
    buffer_.Release();
    decoder_.reset();
    if (device_ && device_->IsOpen()) {
        device_->Close();
    }
    open_.store(false);
}

bool CAudioPlayer::SetVolume(long millibels) {
    return open_.load() && buffer_.SetVolume(millibels);
}

int CAudioPlayer::Run() {
    try {
        return Play();
    } catch (const std::bad_alloc&) {
        buffer_.Stop();
        return stream::kOutOfMemory;
    } catch (const std::ios_base::failure&) {
        buffer_.Stop();
        return stream::kReadError;
    } catch (const std::filesystem::filesystem_error&) {
        buffer_.Stop();
        return stream::kReadError;
    } catch (...) {
        buffer_.Stop();
        return stream::kOtherError;
    }
}

int CAudioPlayer::Play() {
    if (!open_.load()) {
        return stream::kStopped;
    }
    const std::shared_ptr<BlockDecoder> decoder = decoder_;
    carry_ = {}; // nothing of an earlier play
    carryAt_ = 0;
    if (!IsStopRequested()) {
        Refill(decoder.get(), 0);
        buffer_.Play(true);
        SleepMs(1);
    }
    // Only the middle of each half asks for work (and a stop of the buffer ends a wait
    // early); the other positions would wake the thread for nothing. A stop request
    // interrupts the wait.
    constexpr std::uint32_t kWanted = 1u << CDSStreamBuffer::kEventMidFirst |
                                      1u << CDSStreamBuffer::kEventMidSecond |
                                      1u << CDSStreamBuffer::kEventStopped;
    while (!IsStopRequested()) {
        switch (buffer_.WaitEvent(waitLimit_, kWanted)) {
        case CDSStreamBuffer::kEventMidFirst: // the cursor is in half 0: half 1 is free
            Refill(decoder.get(), 1);
            break;
        case CDSStreamBuffer::kEventMidSecond:
            Refill(decoder.get(), 0);
            break;
        default: // stopped, interrupted, or no notification within the limit: look at the
                 // stop request
            break;
        }
    }
    buffer_.Stop();
    return stream::kStopped;
}

void CAudioPlayer::Refill(BlockDecoder* decoder, int half) {
    const Block block = NextBlock(decoder);
    buffer_.FillBuffer(half, block.data);
    if (stream::StreamWindow* window = Window()) {
        window->SetAudioClock(block.timestamp);
    }
}

std::unique_ptr<stream::FrameRecord> CAudioPlayer::TakeFrame(stream::StreamWindow& window) {
    stream::CFrameChain& queue = window.AudioQueue();
    for (;;) {
        std::unique_ptr<stream::FrameRecord> frame = queue.Pop();
        // 32-bit arithmetic, as the stream's time stamps wrap.
        if (!frame || static_cast<std::uint32_t>(frame->timestamp + kLateToleranceMs) >=
                          window.VideoClock()) {
            return frame;
        }
        // More than the tolerance behind the picture: dropped unplayed.
        SleepMs(1);
    }
}

CAudioPlayer::Block CAudioPlayer::NextBlock(BlockDecoder* decoder) {
    const std::size_t half = buffer_.Half();
    Block out;
    stream::StreamWindow* window = Window();
    if (window == nullptr) {
        out.data.assign(half, 0);
        return out;
    }
    if (!audioWanted_.load()) {
        // Sound off: the queue keeps draining, one frame per refill, and what was
        // carried goes too, so switching on resumes with the next frame.
        window->AudioQueue().Pop();
        carry_ = {};
        carryAt_ = 0;
        out.data.assign(half, 0);
        return out;
    }
    out.data.reserve(half);
    while (out.data.size() < half) {
        if (carryAt_ >= carry_.data.size()) {
            std::unique_ptr<stream::FrameRecord> frame = TakeFrame(*window);
            if (!frame) {
                break; // nothing at hand: the rest of the half is silence
            }
            carry_ = Decode(decoder, *frame);
            carryAt_ = 0;
            if (out.data.empty()) {
                out.timestamp = carry_.timestamp;
            }
            if (carry_.data.empty()) {
                break; // nothing decodes (unknown code): one frame per refill, as ever
            }
        }
        if (out.data.empty()) {
            out.timestamp = carry_.timestamp;
        }
        const std::size_t n = std::min(half - out.data.size(), carry_.data.size() - carryAt_);
        out.data.insert(out.data.end(), carry_.data.begin() + static_cast<std::ptrdiff_t>(carryAt_),
                        carry_.data.begin() + static_cast<std::ptrdiff_t>(carryAt_ + n));
        carryAt_ += n;
    }
    out.data.resize(half, 0);
    return out;
}

CAudioPlayer::Block CAudioPlayer::Decode(BlockDecoder* decoder,
                                         const stream::FrameRecord& frame) const {
    Block block;
    block.timestamp = frame.timestamp;
    if (decoder == nullptr || formatCode_ < 2 || formatCode_ > 5) {
        return block; // empty: the half plays silence
    }
    const std::size_t bytes = std::min<std::size_t>(frame.size, frame.data.size());
    std::vector<std::int16_t> pcm((8 * bytes + 2000) / 2);
    const int n = decoder->Decode(formatCode_, std::span(frame.data.data(), bytes), pcm);
    const std::size_t samples = std::min<std::size_t>(n > 0 ? n : 0, pcm.size());
    block.data.resize(2 * samples);
    if (samples > 0) {
        std::memcpy(block.data.data(), pcm.data(), block.data.size());
    }
    return block;
}

} // namespace kestrova::audio

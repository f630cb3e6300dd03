#pragma once

#include "audio/block_decoder.h"
#include "audio/ds_stream_buffer.h"
#include "audio/sound_device.h"
#include "stream/consumers.h"
#include "stream/stream_thread.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace kestrova::audio {

// The audio object of a play. A session opens it when the stream announces audio
// and starts its thread; the thread takes frames from the window's audio queue,
// decodes them and keeps the two halves of the stream buffer filled, half a period
// ahead of the play cursor. Each half holds one decoded frame of the stream's frame
// size; what a longer frame decodes to beyond the half is carried into the next half,
// and a shorter one is followed by the next frame, so every decoded sample plays once,
// in order. Frames that lag the picture by more than a second are dropped; when there
// is nothing to play, or the page switched the sound off, silence is played instead.
class CAudioPlayer final : public stream::CStreamThread, public stream::IAudioOutput {
public:
    static constexpr std::uint32_t kLateToleranceMs = 1000;
    static constexpr std::uint32_t kSilenceTimestamp = 0xFFFFFFFF;
    // Longest wait for a notification: a device that stops signalling must not keep
    // the thread from seeing its stop request.
    static constexpr std::chrono::milliseconds kDefaultWaitLimit{100};

    CAudioPlayer(stream::StreamWindow* window, std::shared_ptr<SoundDevice> device,
                 BlockDecoderFactory decoders = G726DecoderFactory());
    ~CAudioPlayer() override;

    // Opens the device, builds the buffer of two halves of one decoded frame each and the
    // decoder, and posts WM_AUDIO_READY. False, with nothing kept, when the device or
    // the buffer cannot be made (the play then goes on without sound).
    bool Open(int formatCode, std::uint32_t frameSize) override;
    bool StartThread() override { return Start(); }
    bool StopThread(std::uint32_t timeoutMs) override {
        return CStreamThread::StopThread(timeoutMs);
    }
    bool IsOpen() const override { return open_.load(); }
    // Stops and releases the buffer, the decoder and the device.
    void Close() override;

    // Hundredths of a decibel, -10000..0. False while no output is open.
    bool SetVolume(long millibels);
    // The page's sound switch; survives plays.
    void SetAudioWanted(bool wanted) { audioWanted_.store(wanted); }
    bool AudioWanted() const { return audioWanted_.load(); }

    void SetDevice(std::shared_ptr<SoundDevice> device) { device_ = std::move(device); }
    void SetWaitLimit(std::chrono::milliseconds limit) { waitLimit_ = limit; }
    int FormatCode() const { return formatCode_; }
    std::uint32_t FrameSize() const { return frameSize_; }

protected:
    int Run() override;
    // Wakes the thread's wait for a notification.
    void OnStopRequested() override { buffer_.InterruptWait(); }

private:
    struct Block {
        std::vector<std::uint8_t> data;
        std::uint32_t timestamp = kSilenceTimestamp;
    };

    int Play();
    // One half's worth of sound: the carried samples, then decoded frames, then
    // silence when the queue runs dry. Its timestamp is that of the frame whose
    // samples start it (silence: kSilenceTimestamp).
    Block NextBlock(BlockDecoder* decoder);
    // The next frame that is not too late for the picture, or null when none is queued.
    std::unique_ptr<stream::FrameRecord> TakeFrame(stream::StreamWindow& window);
    Block Decode(BlockDecoder* decoder, const stream::FrameRecord& frame) const;
    // Takes a block, writes it into `half` and moves the audio clock on.
    void Refill(BlockDecoder* decoder, int half);

    std::shared_ptr<SoundDevice> device_;
    BlockDecoderFactory decoderFactory_;
    // Shared with the thread, so a Close that comes before the thread has
    // finished (its stop wait timed out) cannot pull the decoder from under it.
    std::shared_ptr<BlockDecoder> decoder_;
    CDSStreamBuffer buffer_;
    std::atomic<bool> audioWanted_{true};
    std::atomic<bool> open_{false};
    int formatCode_ = 0;
    std::uint32_t frameSize_ = 0;
    std::chrono::milliseconds waitLimit_ = kDefaultWaitLimit;
    // Decoded samples of the last frame taken that did not fit into the last half;
    // touched by the audio thread only.
    Block carry_;
    std::size_t carryAt_ = 0;
};

} // namespace kestrova::audio

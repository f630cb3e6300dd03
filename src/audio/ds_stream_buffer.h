#pragma once

#include "audio/notify_events.h"
#include "audio/sound_device.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

namespace kestrova::audio {

// The looping sound buffer as two halves, each as long as one frame decodes to at
// the stream's code size (8 x frame size bytes at 2 bits). While one half plays the audio thread
// refills the other; the device wakes it through five events: cursor at 0 (0), at the second half
// (1), playback stopped (2), in the middle of the first half (3) and in the middle of the second
// half (4).
class CDSStreamBuffer {
public:
    static constexpr int kEventStart = 0;
    static constexpr int kEventHalf = 1;
    static constexpr int kEventStopped = 2;
    static constexpr int kEventMidFirst = 3;
    static constexpr int kEventMidSecond = 4;
    static constexpr int kEventCount = 5;
    // Largest half accepted: a frame size from a hostile stream must not size the
    // buffer beyond reason (this is about 65 s of sound per half).
    static constexpr std::size_t kMaxHalf = 1024 * 1024;

    // Bytes of PCM that a frame of `frameSize` bytes decodes to at `formatCode` bits per
    // code word: 2 x (8 x frameSize / bits), whole samples. Codes other than 2..5 decode to
    // nothing; their halves keep the 8 x frame size of 2-bit streams.
    static std::uint64_t HalfBytes(int formatCode, std::uint32_t frameSize);

    CDSStreamBuffer();
    ~CDSStreamBuffer();
    CDSStreamBuffer(const CDSStreamBuffer&) = delete;
    CDSStreamBuffer& operator=(const CDSStreamBuffer&) = delete;

    // Builds the buffer of two halves on an open device. False (and nothing kept)
    // when the frame size is 0 or too large or the device cannot make the buffer.
    bool Create(SoundDevice& device, const AudioFormat& format, int formatCode,
                std::uint32_t frameSize);
    // Writes one block into half `index` (0 or 1). A block longer than the half is
    // cut; a shorter one is followed by silence to the end of the half, so nothing
    // of an earlier pass is played again. A lost buffer is restored and locked once
    // more; when that fails too the half keeps its old contents. True when written.
    bool FillBuffer(int index, std::span<const std::uint8_t> data);
    bool Play(bool looping);
    // Stops and rewinds to position 0.
    bool Stop();
    // Hundredths of a decibel. Safe from any thread, also while the buffer goes away.
    bool SetVolume(long millibels);
    void Release();

    // Waits for the next event of `mask` (bit i: event i); its number, or -1 when
    // `timeout` passed first or InterruptWait was called.
    int WaitEvent(std::chrono::milliseconds timeout, std::uint32_t mask = NotifyEvents::kAll) {
        return events_.WaitAny(timeout, mask);
    }
    // Ends the current (or next) WaitEvent with -1; any thread.
    void InterruptWait() { events_.Interrupt(); }
    bool IsCreated() const;
    std::size_t Half() const { return half_; }

private:
    NotifyEvents events_{kEventCount};
    mutable std::mutex mutex_; // guards buffer_ against Release from another thread
    std::unique_ptr<SoundBuffer> buffer_;
    std::atomic<std::size_t> half_{0};
};

} // namespace kestrova::audio

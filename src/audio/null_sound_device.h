#pragma once

#include "audio/sound_device.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrova::audio {

// A sound device without sound. A clock moves the play cursor of its buffer at
// the format's byte rate (16000 bytes per second) and signals the notification
// positions as the cursor reaches them, so the audio object runs exactly as it
// would with a sound card. The clock sleeps until the next prompt position is due
// (or a play, stop, new position or new buffer changes what is due); positions that
// are not prompt are signalled when it passes them. Whoever looks at the cursor in
// between, or stops the buffer, first brings it to where the clock says it is.
// Everything the cursor passes can go to a WAV file.
// In manual-clock mode there is no clock thread: Advance() moves the cursor,
// which makes tests step the buffer deterministically.
class NullSoundDevice final : public SoundDevice {
public:
    enum class Clock { Real, Manual };
    struct Options {
        Clock clock = Clock::Real;
        // When not empty, the played bytes go to this WAV file, created at the first
        // Open and kept across Close/Open; its header is brought up to date at Close.
        std::string wavPath;
        // Longest time the real clock lets pass without moving the cursor (the WAV
        // file grows at least this often); it also wakes whenever a position is due.
        std::chrono::milliseconds longestSleep{250};
    };

    NullSoundDevice();
    explicit NullSoundDevice(Options options);
    ~NullSoundDevice() override;

    bool Open(const AudioFormat& format) override;
    void Close() override;
    bool IsOpen() const override;
    std::unique_ptr<SoundBuffer>
    CreateBuffer(std::size_t bytes, std::span<const Notification> notes, NotifySink sink) override;

    // Failure switches: Open, or the creation of buffers, fails while set.
    void SetFailOpen(bool fail) { failOpen_ = fail; }
    void SetFailCreateBuffer(bool fail) { failCreate_ = fail; }
    // The next `count` locks of the current buffer report a lost buffer.
    void LoseBuffer(int count);

    // Manual clock: moves the current buffer's cursor by `bytes` (when it plays) on the
    // caller's thread, with its notifications. Returns the bytes moved.
    std::size_t Advance(std::size_t bytes);

    // Views of the current buffer (zero/empty without one).
    bool HasBuffer() const;
    std::size_t Cursor() const;
    bool Playing() const;
    long Volume() const;
    std::uint64_t Unlocks() const;
    std::vector<std::uint8_t> Contents() const;
    // Waits until the current buffer has seen `count` unlocks; false on time-out.
    bool WaitForUnlocks(std::uint64_t count, std::chrono::milliseconds timeout) const;
    // Bytes the cursor passed over the device's lifetime (what the WAV file holds).
    std::uint64_t BytesPlayed() const;
    int OpenCount() const { return openCount_; }

    struct Shared;

private:
    void ClockLoop();

    Options options_;
    std::shared_ptr<Shared> shared_;
    std::atomic<bool> failOpen_{false};
    std::atomic<bool> failCreate_{false};
    std::atomic<int> openCount_{0};
    bool open_ = false;
    std::thread clock_;
};

} // namespace kestrova::audio

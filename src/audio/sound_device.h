#pragma once

#include "audio/audio_format.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <span>

namespace kestrova::audio {

// A position in a looping buffer at which the device signals an event number.
// kOffsetStop asks for the event when playback stops instead. A position that is not
// `prompt` is for an event nobody waits on as it happens: the device may signal it late,
// with the next prompt one, so a device that keeps time itself need not wake for it.
struct Notification {
    static constexpr std::size_t kOffsetStop = std::numeric_limits<std::size_t>::max();
    std::size_t offset = 0;
    int event = 0;
    bool prompt = true;
};

// Called by the device (from any of its threads) with the event number of a
// notification position the play cursor reached, or of the stop notification.
using NotifySink = std::function<void(int event)>;

// A locked region of a looping buffer: the range may wrap past the end, so it
// comes in up to two parts. Writes into the parts take effect at Unlock.
struct LockedRegion {
    std::uint8_t* part1 = nullptr;
    std::size_t len1 = 0;
    std::uint8_t* part2 = nullptr;
    std::size_t len2 = 0;
};

enum class LockResult { Ok, BufferLost, Failed };

// The looping output buffer of a device. Its play cursor wraps to 0 at the end
// while looping; without looping, playback stops at the end.
class SoundBuffer {
public:
    virtual ~SoundBuffer() = default;
    virtual std::size_t Size() const = 0;
    virtual LockResult Lock(std::size_t offset, std::size_t bytes, LockedRegion& region) = 0;
    virtual bool Unlock(const LockedRegion& region) = 0;
    // Brings back a buffer whose memory the device took away (Lock reported BufferLost).
    virtual bool Restore() = 0;
    virtual bool Play(bool looping) = 0;
    virtual bool Stop() = 0;
    virtual bool SetPosition(std::size_t offset) = 0;
    // Hundredths of a decibel, kVolumeMin (silence) .. kVolumeMax (full level).
    virtual bool SetVolume(long millibels) = 0;
};

// The sound output: opened with the fixed output format, it makes looping
// buffers. Close releases the output; buffers must be released before it.
class SoundDevice {
public:
    virtual ~SoundDevice() = default;
    virtual bool Open(const AudioFormat& format) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // A silent, stopped buffer of `bytes` bytes with its cursor at 0, or null when the
    // device cannot make it (closed device, bad size or notification list).
    virtual std::unique_ptr<SoundBuffer>
    CreateBuffer(std::size_t bytes, std::span<const Notification> notes, NotifySink sink) = 0;
};

} // namespace kestrova::audio

#pragma once

#include "audio/sound_device.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace kestrova::audio {

// The memory, play cursor and notification positions of one looping buffer,
// shared by the device back ends. The back end moves the cursor with Pull (the
// null device on its clock, the Qt device as the sink reads); the audio thread
// locks regions and writes them. All operations are thread-safe. Writers never
// touch the played memory directly: a lock hands out a scratch copy that Unlock
// puts back, so a concurrent Pull sees either the old or the new bytes.
class LoopingRing final : public SoundBuffer {
public:
    // Null when the size is 0, odd, or a notification lies outside the buffer.
    static std::unique_ptr<LoopingRing> Make(std::size_t bytes, std::span<const Notification> notes,
                                             NotifySink sink);

    std::size_t Size() const override { return data_.size(); }
    LockResult Lock(std::size_t offset, std::size_t bytes, LockedRegion& region) override;
    bool Unlock(const LockedRegion& region) override;
    bool Restore() override;
    bool Play(bool looping) override;
    bool Stop() override;
    bool SetPosition(std::size_t offset) override;
    bool SetVolume(long millibels) override;

    // Advances the cursor by up to `bytes` (while playing), copying the bytes it passes
    // into `out` when given, and signals the notifications it reaches in cursor order.
    // Returns the count advanced: less than asked only when a one-shot play reaches the end.
    std::size_t Pull(std::size_t bytes, std::uint8_t* out);
    // While playing: how far the cursor moves until Pull next signals something that
    // must come on time (a prompt notification position, or the end of a one-shot play);
    // positions that are not prompt are signalled on the way. kNothingDue when nothing
    // will: stopped, or looping without prompt positions.
    static constexpr std::size_t kNothingDue = static_cast<std::size_t>(-1);
    std::size_t BytesToNextPromptEvent() const;

    // Makes the next `count` locks report a lost buffer until Restore (tests, fault runs).
    void LoseBuffer(int count);
    std::size_t Cursor() const;
    bool Playing() const;
    long Volume() const;
    // Number of successful unlocks: one per completed write.
    std::uint64_t Unlocks() const;
    std::vector<std::uint8_t> Contents() const;

private:
    LoopingRing(std::size_t bytes, std::span<const Notification> notes, NotifySink sink);
    void Signal(const std::vector<int>& events);

    mutable std::mutex mutex_;
    std::vector<std::uint8_t> data_;
    std::vector<Notification> notes_;
    NotifySink sink_;
    std::size_t cursor_ = 0;
    bool playing_ = false;
    bool looping_ = false;
    long volume_ = kVolumeMax;
    int lostLocks_ = 0;
    bool lost_ = false;
    // The one outstanding lock: where its parts go back to.
    bool locked_ = false;
    std::size_t lockOffset_ = 0;
    std::vector<std::uint8_t> scratch_;
    std::uint64_t unlocks_ = 0;
};

} // namespace kestrova::audio

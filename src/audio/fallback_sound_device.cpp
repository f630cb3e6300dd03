#include "audio/fallback_sound_device.h"

namespace kestrova::audio {

FallbackSoundDevice::FallbackSoundDevice(std::shared_ptr<SoundDevice> primary,
                                         std::shared_ptr<SoundDevice> fallback, Notice onFallback)
    : primary_(std::move(primary)), fallback_(std::move(fallback)),
      onFallback_(std::move(onFallback)) {}

bool FallbackSoundDevice::Open(const AudioFormat& format) {
    bool fellBack = false;
    bool opened = false;
    {
        std::lock_guard lock(mutex_);
        if (active_) {
            return false;
        }
        if (primary_ && primary_->Open(format)) {
            active_ = primary_;
        } else {
            fellBack = true;
            if (fallback_ && fallback_->Open(format)) {
                active_ = fallback_;
            }
        }
        opened = active_ != nullptr;
    }
    // Outside the lock: the notice may call back into the host.
    if (fellBack && onFallback_) {
        onFallback_();
    }
    return opened;
}

void FallbackSoundDevice::Close() {
    std::shared_ptr<SoundDevice> active;
    {
        std::lock_guard lock(mutex_);
        active = std::move(active_);
    }
    if (active) {
        active->Close();
    }
}

bool FallbackSoundDevice::IsOpen() const {
    std::lock_guard lock(mutex_);
    return active_ && active_->IsOpen();
}

std::unique_ptr<SoundBuffer> FallbackSoundDevice::CreateBuffer(std::size_t bytes,
                                                               std::span<const Notification> notes,
                                                               NotifySink sink) {
    std::shared_ptr<SoundDevice> active;
    {
        std::lock_guard lock(mutex_);
        active = active_;
    }
    return active ? active->CreateBuffer(bytes, notes, std::move(sink)) : nullptr;
}

bool FallbackSoundDevice::FellBack() const {
    std::lock_guard lock(mutex_);
    return active_ != nullptr && active_ == fallback_;
}

} // namespace kestrova::audio

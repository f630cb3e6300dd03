#pragma once

#include "audio/sound_device.h"

#include <functional>
#include <memory>
#include <mutex>

namespace kestrova::audio {

// Plays through the first device when it opens (the sound card) and through the
// second one otherwise (the clocked null device, so the play runs on without
// sound). Each fall-back is told to `onFallback`, so the host can say that nothing
// will be heard instead of a silent success.
class FallbackSoundDevice final : public SoundDevice {
public:
    using Notice = std::function<void()>;

    FallbackSoundDevice(std::shared_ptr<SoundDevice> primary, std::shared_ptr<SoundDevice> fallback,
                        Notice onFallback = {});

    bool Open(const AudioFormat& format) override;
    void Close() override;
    bool IsOpen() const override;
    std::unique_ptr<SoundBuffer>
    CreateBuffer(std::size_t bytes, std::span<const Notification> notes, NotifySink sink) override;

    // True while the fall-back device is the open one.
    bool FellBack() const;

private:
    const std::shared_ptr<SoundDevice> primary_;
    const std::shared_ptr<SoundDevice> fallback_;
    const Notice onFallback_;
    mutable std::mutex mutex_; // guards active_: opened by a session, closed by the window
    std::shared_ptr<SoundDevice> active_;
};

} // namespace kestrova::audio

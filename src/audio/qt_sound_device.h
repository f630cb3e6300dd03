#pragma once

#include "audio/sound_device.h"

#include <memory>

namespace kestrova::audio {

// The sound card through Qt Multimedia. Each buffer feeds a QAudioSink in push
// mode: every 5 to 20 milliseconds the bytes the sink will take are read at the play
// cursor and written to it, so the cursor moves on as the sink accepts sound, and
// the notifications fire as it passes them. The Qt
// objects live on a thread of the device's own with its own event loop, so the
// audio thread (or any other) may drive the device. Needs a QCoreApplication in
// the process; without one, or without an output device, Open returns false.
class QtSoundDevice final : public SoundDevice {
public:
    QtSoundDevice();
    ~QtSoundDevice() override;

    bool Open(const AudioFormat& format) override;
    void Close() override;
    bool IsOpen() const override;
    std::unique_ptr<SoundBuffer>
    CreateBuffer(std::size_t bytes, std::span<const Notification> notes, NotifySink sink) override;

    // True when Qt reports at least one audio output (needs a QCoreApplication).
    static bool OutputAvailable();

    struct Impl;

private:
    std::shared_ptr<Impl> impl_;
};

} // namespace kestrova::audio

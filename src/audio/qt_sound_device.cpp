#include "audio/qt_sound_device.h"

#include "audio/looping_ring.h"
#include "audio/qt_ring_reader.h"
#include "audio/qt_task_thread.h"
#include "audio/volume.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QMediaDevices>
#include <atomic>

namespace kestrova::audio {
namespace {

QAudioFormat ToQt(const AudioFormat& f) {
    QAudioFormat q;
    q.setSampleRate(f.samplesPerSecond);
    q.setChannelCount(f.channels);
    q.setSampleFormat(QAudioFormat::Int16);
    return q;
}

} // namespace

// The Qt thread and what the device chose when it opened. Shared with the
// buffers, which use the same thread for their sinks.
struct QtSoundDevice::Impl {
    QtTaskThread thread;
    QAudioDevice output; // written and read on the Qt thread only
    QAudioFormat format;
    std::atomic<bool> open{false};
};

namespace {

class QtBuffer final : public SoundBuffer {
public:
    QtBuffer(std::shared_ptr<QtSoundDevice::Impl> impl, std::shared_ptr<LoopingRing> ring)
        : impl_(std::move(impl)), ring_(std::move(ring)) {
        // The reader and the sink belong to the Qt thread.
        impl_->thread.Run([this] {
            reader_ = std::make_unique<RingReader>(ring_);
            sink_ = std::make_unique<QAudioSink>(impl_->output, impl_->format);
            sink_->setBufferSize(SinkBufferBytes(ring_->Size()));
        });
    }

    ~QtBuffer() override {
        // No pull may reach the ring once the buffer is gone.
        impl_->thread.Run([this] {
            sink_->stop();
            sink_.reset();
            reader_.reset();
        });
    }

    std::size_t Size() const override { return ring_->Size(); }
    LockResult Lock(std::size_t offset, std::size_t bytes, LockedRegion& region) override {
        return ring_->Lock(offset, bytes, region);
    }
    bool Unlock(const LockedRegion& region) override { return ring_->Unlock(region); }
    bool Restore() override { return ring_->Restore(); }
    bool Play(bool looping) override {
        ring_->Play(looping);
        bool ok = false;
        impl_->thread.Run([&] {
            // The sink keeps pulling while the buffer is stopped (it gets silence), so
            // it is started once and runs until the buffer goes.
            if (sink_->state() == QAudio::StoppedState) {
                sink_->start(reader_.get());
            }
            ok = sink_->error() == QAudio::NoError;
        });
        return ok;
    }
    bool Stop() override { return ring_->Stop(); }
    bool SetPosition(std::size_t offset) override { return ring_->SetPosition(offset); }
    bool SetVolume(long millibels) override {
        if (!ring_->SetVolume(millibels)) {
            return false;
        }
        const float gain = LinearGainFromLevel(millibels);
        impl_->thread.Run([&] { sink_->setVolume(gain); });
        return true;
    }

private:
    std::shared_ptr<QtSoundDevice::Impl> impl_;
    std::shared_ptr<LoopingRing> ring_;
    std::unique_ptr<RingReader> reader_;
    std::unique_ptr<QAudioSink> sink_;
};

} // namespace

QtSoundDevice::QtSoundDevice() : impl_(std::make_shared<Impl>()) {}

QtSoundDevice::~QtSoundDevice() {
    Close();
    impl_->thread.Stop();
}

bool QtSoundDevice::OutputAvailable() {
    return QCoreApplication::instance() != nullptr && !QMediaDevices::audioOutputs().isEmpty();
}

bool QtSoundDevice::Open(const AudioFormat& format) {
    if (impl_->open.load() || !impl_->thread.Start()) {
        return false;
    }
    bool ok = false;
    impl_->thread.Run([&] {
        const QAudioDevice out = QMediaDevices::defaultAudioOutput();
        const QAudioFormat q = ToQt(format);
        if (out.isNull() || !out.isFormatSupported(q)) {
            return;
        }
        impl_->output = out;
        impl_->format = q;
        ok = true;
    });
    impl_->open.store(ok);
    return ok;
}

void QtSoundDevice::Close() {
    impl_->open.store(false);
}

bool QtSoundDevice::IsOpen() const {
    return impl_->open.load();
}

std::unique_ptr<SoundBuffer> QtSoundDevice::CreateBuffer(std::size_t bytes,
                                                         std::span<const Notification> notes,
                                                         NotifySink sink) {
    if (!impl_->open.load()) {
        return nullptr;
    }
    std::shared_ptr<LoopingRing> ring = LoopingRing::Make(bytes, notes, std::move(sink));
    if (!ring) {
        return nullptr;
    }
    return std::make_unique<QtBuffer>(impl_, std::move(ring));
}

} // namespace kestrova::audio

#include "audio/qt_sound_device.h"

#include "audio/looping_ring.h"
#include "audio/qt_ring_reader.h"
#include "audio/volume.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>
#include <QMetaObject>
#include <QThread>
#include <cstring>
#include <mutex>

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

// The Qt thread and the objects on it. Work is sent to the thread and waited for.
struct QtSoundDevice::Impl {
    QThread thread;
    QObject* context = nullptr; // lives on `thread`
    QAudioDevice output;
    QAudioFormat format;
    bool open = false;

    template <typename F> void RunOnThread(F&& f) {
        // Without the thread (device already gone) nothing runs there any more.
        if (context == nullptr || QThread::currentThread() == &thread) {
            f();
        } else {
            QMetaObject::invokeMethod(context, std::forward<F>(f), Qt::BlockingQueuedConnection);
        }
    }

    bool Start() {
        if (context != nullptr) {
            return true;
        }
        thread.setObjectName(QStringLiteral("kestrova-audio-qt"));
        thread.start();
        context = new QObject;
        context->moveToThread(&thread);
        return true;
    }

    void Stop() {
        if (context == nullptr) {
            return;
        }
        QObject* c = context;
        RunOnThread([c] { delete c; });
        context = nullptr;
        thread.quit();
        thread.wait();
    }
};

namespace {

class QtBuffer final : public SoundBuffer {
public:
    QtBuffer(std::shared_ptr<QtSoundDevice::Impl> impl, std::shared_ptr<LoopingRing> ring)
        : impl_(std::move(impl)), ring_(std::move(ring)) {}

    // Made on the Qt thread.
    bool Build() {
        bool ok = false;
        impl_->RunOnThread([&] {
            reader_ = new RingReader(ring_);
            sink_ = new QAudioSink(impl_->output, impl_->format);
            sink_->setBufferSize(kSinkBufferBytes);
            ok = true;
        });
        return ok;
    }

    ~QtBuffer() override {
        // No pull may reach the ring once the buffer is gone.
        impl_->RunOnThread([this] {
            if (sink_ != nullptr) {
                sink_->stop();
                delete sink_;
            }
            delete reader_;
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
        bool ok = true;
        impl_->RunOnThread([&] {
            if (sink_->state() == QAudio::StoppedState) {
                sink_->start(reader_);
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
        impl_->RunOnThread([&] { sink_->setVolume(gain); });
        return true;
    }

private:
    std::shared_ptr<QtSoundDevice::Impl> impl_;
    std::shared_ptr<LoopingRing> ring_;
    RingReader* reader_ = nullptr; // both owned here, used on the Qt thread
    QAudioSink* sink_ = nullptr;
};

} // namespace

QtSoundDevice::QtSoundDevice() : impl_(std::make_shared<Impl>()) {}

QtSoundDevice::~QtSoundDevice() {
    Close();
    impl_->Stop();
}

bool QtSoundDevice::OutputAvailable() {
    return QCoreApplication::instance() != nullptr && !QMediaDevices::audioOutputs().isEmpty();
}

bool QtSoundDevice::Open(const AudioFormat& format) {
    if (impl_->open || QCoreApplication::instance() == nullptr) {
        return false;
    }
    impl_->Start();
    bool ok = false;
    impl_->RunOnThread([&] {
        const QAudioDevice out = QMediaDevices::defaultAudioOutput();
        const QAudioFormat q = ToQt(format);
        if (out.isNull() || !out.isFormatSupported(q)) {
            return;
        }
        impl_->output = out;
        impl_->format = q;
        ok = true;
    });
    impl_->open = ok;
    return ok;
}

void QtSoundDevice::Close() {
    impl_->open = false;
}

bool QtSoundDevice::IsOpen() const {
    return impl_->open;
}

std::unique_ptr<SoundBuffer> QtSoundDevice::CreateBuffer(std::size_t bytes,
                                                         std::span<const Notification> notes,
                                                         NotifySink sink) {
    if (!impl_->open) {
        return nullptr;
    }
    std::shared_ptr<LoopingRing> ring = LoopingRing::Make(bytes, notes, std::move(sink));
    if (!ring) {
        return nullptr;
    }
    auto buffer = std::make_unique<QtBuffer>(impl_, std::move(ring));
    if (!buffer->Build()) {
        return nullptr;
    }
    return buffer;
}

} // namespace kestrova::audio

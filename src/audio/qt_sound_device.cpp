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
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <vector>

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
        // The reader, the sink and the feed timer belong to the Qt thread.
        impl_->thread.Run([this] {
            reader_ = std::make_unique<RingReader>(ring_);
            sink_ = std::make_unique<QAudioSink>(impl_->output, impl_->format);
            sink_->setBufferSize(SinkBufferBytes(ring_->Size()));
            feed_ = std::make_unique<QTimer>();
            feed_->setTimerType(Qt::PreciseTimer);
            feed_->setInterval(FeedIntervalMs(ring_->Size()));
            QObject::connect(feed_.get(), &QTimer::timeout, [this] { Feed(); });
        });
    }

    ~QtBuffer() override {
        // No feed may reach the ring once the buffer is gone.
        impl_->thread.Run([this] {
            feed_.reset();
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
            // The sink keeps taking bytes while the buffer is stopped (it gets silence),
            // so it is started once and runs until the buffer goes.
            if (sink_->state() == QAudio::StoppedState) {
                stream_ = sink_->start();
                feed_->start();
                Feed();
            }
            ok = stream_ != nullptr && sink_->error() == QAudio::NoError;
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
    // On the Qt thread: writes as many bytes as the sink takes now, read at the play
    // cursor, so the cursor moves exactly as far as the sink has accepted. (The sink's
    // pull mode is not used: it read from the buffer and then dropped what its stream
    // would not take, and with a small buffer it stopped asking, so nothing sounded.)
    void Feed() {
        if (stream_ == nullptr) {
            return;
        }
        if (!pending_.empty()) {
            const qint64 w = stream_->write(pending_.data(), static_cast<qint64>(pending_.size()));
            pending_.erase(pending_.begin(), pending_.begin() + std::max<qint64>(w, 0));
            if (!pending_.empty()) {
                return;
            }
        }
        const auto free = static_cast<std::size_t>(std::max<qsizetype>(sink_->bytesFree(), 0));
        const std::size_t n = std::min(free, FeedLimitBytes(ring_->Size())) & ~std::size_t{1};
        if (n == 0) {
            return;
        }
        chunk_.resize(n);
        const qint64 got = reader_->read(chunk_.data(), static_cast<qint64>(n));
        if (got <= 0) {
            return;
        }
        const qint64 w = stream_->write(chunk_.data(), got);
        // What the sink did not take is kept and goes first next time, never dropped.
        pending_.assign(chunk_.begin() + std::max<qint64>(w, 0), chunk_.begin() + got);
    }

    std::shared_ptr<QtSoundDevice::Impl> impl_;
    std::shared_ptr<LoopingRing> ring_;
    std::unique_ptr<RingReader> reader_;
    std::unique_ptr<QAudioSink> sink_;
    std::unique_ptr<QTimer> feed_;
    QIODevice* stream_ = nullptr; // the sink's input, owned by the sink
    std::vector<char> chunk_;
    std::vector<char> pending_;
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

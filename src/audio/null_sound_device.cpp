#include "audio/null_sound_device.h"

#include "audio/looping_ring.h"
#include "audio/wav_writer.h"

namespace kestrova::audio {

// State shared by the device and the buffers it made, so a buffer that outlives
// its device (a caller's mistake) still detaches safely.
struct NullSoundDevice::Shared {
    mutable std::mutex mutex;
    std::shared_ptr<LoopingRing> ring;
    WavWriter wav;
    std::uint64_t played = 0;
    std::vector<std::uint8_t> pull;

    std::shared_ptr<LoopingRing> Current() const {
        std::lock_guard lock(mutex);
        return ring;
    }

    // Moves the cursor and records what it passed. The mutex keeps the WAV in
    // cursor order when a manual step and a detach race.
    std::size_t Advance(std::size_t bytes) {
        std::lock_guard lock(mutex);
        if (!ring) {
            return 0;
        }
        pull.resize(bytes);
        const std::size_t moved = ring->Pull(bytes, pull.data());
        played += moved;
        if (wav.IsOpen()) {
            wav.Append(std::span(pull.data(), moved));
        }
        return moved;
    }
};

namespace {

// The buffer handed to the caller: forwards to the ring and detaches it from
// the device when released.
class NullBuffer final : public SoundBuffer {
public:
    NullBuffer(std::shared_ptr<NullSoundDevice::Shared> shared, std::shared_ptr<LoopingRing> ring)
        : shared_(std::move(shared)), ring_(std::move(ring)) {}
    ~NullBuffer() override {
        std::lock_guard lock(shared_->mutex);
        if (shared_->ring == ring_) {
            shared_->ring.reset();
        }
    }
    std::size_t Size() const override { return ring_->Size(); }
    LockResult Lock(std::size_t offset, std::size_t bytes, LockedRegion& region) override {
        return ring_->Lock(offset, bytes, region);
    }
    bool Unlock(const LockedRegion& region) override { return ring_->Unlock(region); }
    bool Restore() override { return ring_->Restore(); }
    bool Play(bool looping) override { return ring_->Play(looping); }
    bool Stop() override { return ring_->Stop(); }
    bool SetPosition(std::size_t offset) override { return ring_->SetPosition(offset); }
    bool SetVolume(long millibels) override { return ring_->SetVolume(millibels); }

private:
    std::shared_ptr<NullSoundDevice::Shared> shared_;
    std::shared_ptr<LoopingRing> ring_;
};

} // namespace

NullSoundDevice::NullSoundDevice() : NullSoundDevice(Options{}) {}

NullSoundDevice::NullSoundDevice(Options options)
    : options_(std::move(options)), shared_(std::make_shared<Shared>()) {}

NullSoundDevice::~NullSoundDevice() {
    Close();
    std::lock_guard lock(shared_->mutex);
    shared_->wav.Close();
}

bool NullSoundDevice::Open(const AudioFormat& format) {
    if (failOpen_ || open_) {
        return false;
    }
    if (format.bytesPerSecond != kOutputFormat.bytesPerSecond ||
        format.blockAlign != kOutputFormat.blockAlign) {
        return false;
    }
    {
        std::lock_guard lock(shared_->mutex);
        if (!options_.wavPath.empty() && !shared_->wav.IsOpen() &&
            !shared_->wav.Open(options_.wavPath, format)) {
            return false;
        }
    }
    open_ = true;
    ++openCount_;
    if (options_.clock == Clock::Real) {
        clockStop_ = false;
        clock_ = std::thread([this] { ClockLoop(); });
    }
    return true;
}

void NullSoundDevice::Close() {
    if (clock_.joinable()) {
        {
            std::lock_guard lock(clockMutex_);
            clockStop_ = true;
        }
        clockCv_.notify_all();
        clock_.join();
    }
    if (!open_) {
        return;
    }
    open_ = false;
    std::lock_guard lock(shared_->mutex);
    shared_->wav.Flush();
}

bool NullSoundDevice::IsOpen() const {
    return open_;
}

std::unique_ptr<SoundBuffer> NullSoundDevice::CreateBuffer(std::size_t bytes,
                                                           std::span<const Notification> notes,
                                                           NotifySink sink) {
    if (!open_ || failCreate_) {
        return nullptr;
    }
    std::shared_ptr<LoopingRing> ring = LoopingRing::Make(bytes, notes, std::move(sink));
    if (!ring) {
        return nullptr;
    }
    {
        std::lock_guard lock(shared_->mutex);
        shared_->ring = ring;
    }
    return std::make_unique<NullBuffer>(shared_, ring);
}

void NullSoundDevice::ClockLoop() {
    using clock = std::chrono::steady_clock;
    const auto rate = static_cast<std::uint64_t>(kOutputFormat.bytesPerSecond);
    // The cursor time starts when a buffer starts playing; the bytes due are
    // worked out from that origin so rounding never accumulates drift.
    const LoopingRing* timed = nullptr;
    clock::time_point origin;
    std::uint64_t advanced = 0;
    std::unique_lock lock(clockMutex_);
    while (!clockStop_) {
        clockCv_.wait_for(lock, options_.tick, [this] { return clockStop_; });
        if (clockStop_) {
            break;
        }
        lock.unlock();
        std::shared_ptr<LoopingRing> ring = shared_->Current();
        if (!ring || !ring->Playing()) {
            timed = nullptr;
        } else {
            const clock::time_point now = clock::now();
            if (timed != ring.get()) {
                timed = ring.get();
                origin = now;
                advanced = 0;
            }
            const auto us = static_cast<std::uint64_t>(
                std::chrono::duration_cast<std::chrono::microseconds>(now - origin).count());
            // Whole samples only, so the cursor stays on a sample boundary.
            const std::uint64_t due = (us * rate / 1'000'000) & ~std::uint64_t{1};
            if (due > advanced) {
                Advance(static_cast<std::size_t>(due - advanced));
                advanced = due;
            }
        }
        lock.lock();
    }
}

std::size_t NullSoundDevice::Advance(std::size_t bytes) {
    return shared_->Advance(bytes);
}

void NullSoundDevice::LoseBuffer(int count) {
    if (auto ring = shared_->Current()) {
        ring->LoseBuffer(count);
    }
}

bool NullSoundDevice::HasBuffer() const {
    return shared_->Current() != nullptr;
}

std::size_t NullSoundDevice::Cursor() const {
    auto ring = shared_->Current();
    return ring ? ring->Cursor() : 0;
}

bool NullSoundDevice::Playing() const {
    auto ring = shared_->Current();
    return ring && ring->Playing();
}

long NullSoundDevice::Volume() const {
    auto ring = shared_->Current();
    return ring ? ring->Volume() : kVolumeMax;
}

std::uint64_t NullSoundDevice::Unlocks() const {
    auto ring = shared_->Current();
    return ring ? ring->Unlocks() : 0;
}

std::vector<std::uint8_t> NullSoundDevice::Contents() const {
    auto ring = shared_->Current();
    return ring ? ring->Contents() : std::vector<std::uint8_t>{};
}

bool NullSoundDevice::WaitForUnlocks(std::uint64_t count, std::chrono::milliseconds timeout) const {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (Unlocks() < count) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::uint64_t NullSoundDevice::BytesPlayed() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->played;
}

} // namespace kestrova::audio

#include "audio/null_sound_device.h"

#include "audio/looping_ring.h"
#include "audio/wav_writer.h"

#include <algorithm>

namespace kestrova::audio {

// State shared by the device and the buffers it made, so a buffer that outlives
// its device (a caller's mistake) still detaches safely.
struct NullSoundDevice::Shared {
    using Clock = std::chrono::steady_clock;

    mutable std::mutex mutex;
    std::shared_ptr<LoopingRing> ring;
    WavWriter wav;
    std::uint64_t played = 0;
    std::vector<std::uint8_t> pull;

    // The real clock. Its cursor time starts when a buffer starts playing; the bytes
    // due are worked out from that origin so rounding never accumulates drift.
    // Lock order: clockMutex, then mutex, then the ring's own.
    std::mutex clockMutex;
    std::condition_variable clockCv;
    bool clockRunning = false;
    bool clockStop = false;
    bool kicked = false;
    const LoopingRing* timed = nullptr;
    Clock::time_point origin;
    std::uint64_t advanced = 0;

    // Signalled at every unlock and new buffer, for WaitForUnlocks.
    std::mutex unlockMutex;
    std::condition_variable unlocked;

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

    // With clockMutex held: brings the cursor of the playing buffer to where the clock
    // says it is at `now`, signalling what it passes. Returns when the cursor reaches
    // the next thing to signal, or Clock::time_point::max() when nothing is due.
    Clock::time_point CatchUpLocked(Clock::time_point now) {
        const std::shared_ptr<LoopingRing> current = Current();
        if (!current || !current->Playing()) {
            timed = nullptr;
            return Clock::time_point::max();
        }
        if (timed != current.get()) {
            timed = current.get();
            origin = now;
            advanced = 0;
        }
        const auto rate = static_cast<std::uint64_t>(kOutputFormat.bytesPerSecond);
        const auto us = static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(now - origin).count());
        // Whole samples only, so the cursor stays on a sample boundary.
        const std::uint64_t due = (us * rate / 1'000'000) & ~std::uint64_t{1};
        if (due > advanced) {
            Advance(static_cast<std::size_t>(due - advanced));
            advanced = due;
        }
        const std::size_t distance = current->BytesToNextPromptEvent();
        if (distance == LoopingRing::kNothingDue) {
            return Clock::time_point::max();
        }
        // The cursor passes an odd position at the next whole sample; the time is
        // rounded up so the bytes due then include it.
        const std::uint64_t target = (advanced + distance + 1) & ~std::uint64_t{1};
        return origin + std::chrono::microseconds((target * 1'000'000 + rate - 1) / rate);
    }

    // Brings the cursor up to date before someone looks at it or changes the play.
    void CatchUp() {
        std::lock_guard lock(clockMutex);
        if (clockRunning) {
            CatchUpLocked(Clock::now());
        }
    }

    // Tells the clock that what is due may have changed.
    void Kick() {
        {
            std::lock_guard lock(clockMutex);
            kicked = true;
        }
        clockCv.notify_all();
    }

    void NotifyUnlocked() {
        { std::lock_guard lock(unlockMutex); }
        unlocked.notify_all();
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
        {
            std::lock_guard lock(shared_->mutex);
            if (shared_->ring == ring_) {
                shared_->ring.reset();
            }
        }
        shared_->Kick();
    }
    std::size_t Size() const override { return ring_->Size(); }
    LockResult Lock(std::size_t offset, std::size_t bytes, LockedRegion& region) override {
        return ring_->Lock(offset, bytes, region);
    }
    bool Unlock(const LockedRegion& region) override {
        const bool ok = ring_->Unlock(region);
        shared_->NotifyUnlocked();
        return ok;
    }
    bool Restore() override { return ring_->Restore(); }
    bool Play(bool looping) override {
        shared_->CatchUp();
        const bool ok = ring_->Play(looping);
        shared_->Kick();
        return ok;
    }
    bool Stop() override {
        // What played up to now is played (and recorded) before the stop.
        shared_->CatchUp();
        const bool ok = ring_->Stop();
        shared_->Kick();
        return ok;
    }
    bool SetPosition(std::size_t offset) override {
        shared_->CatchUp();
        const bool ok = ring_->SetPosition(offset);
        shared_->Kick();
        return ok;
    }
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
        {
            std::lock_guard lock(shared_->clockMutex);
            shared_->clockStop = false;
            shared_->clockRunning = true;
            shared_->timed = nullptr;
        }
        clock_ = std::thread([this] { ClockLoop(); });
    }
    return true;
}

void NullSoundDevice::Close() {
    if (clock_.joinable()) {
        {
            // What played up to the close goes into the WAV file before the clock stops.
            std::lock_guard lock(shared_->clockMutex);
            shared_->CatchUpLocked(Shared::Clock::now());
            shared_->clockStop = true;
        }
        shared_->clockCv.notify_all();
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
    shared_->Kick();
    shared_->NotifyUnlocked();
    return std::make_unique<NullBuffer>(shared_, ring);
}

void NullSoundDevice::ClockLoop() {
    Shared& s = *shared_;
    std::unique_lock lock(s.clockMutex);
    while (!s.clockStop) {
        const auto now = Shared::Clock::now();
        const auto next = std::min(s.CatchUpLocked(now), now + options_.longestSleep);
        s.kicked = false;
        s.clockCv.wait_until(lock, next, [&s] { return s.clockStop || s.kicked; });
    }
    s.clockRunning = false;
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
    shared_->CatchUp();
    auto ring = shared_->Current();
    return ring ? ring->Cursor() : 0;
}

bool NullSoundDevice::Playing() const {
    shared_->CatchUp();
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
    std::unique_lock lock(shared_->unlockMutex);
    return shared_->unlocked.wait_for(lock, timeout, [&] { return Unlocks() >= count; });
}

std::uint64_t NullSoundDevice::BytesPlayed() const {
    shared_->CatchUp();
    std::lock_guard lock(shared_->mutex);
    return shared_->played;
}

} // namespace kestrova::audio

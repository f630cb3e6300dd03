#include "audio/ds_stream_buffer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace kestrova::audio {

std::uint64_t CDSStreamBuffer::HalfBytes(int formatCode, std::uint32_t frameSize) {
    if (formatCode < 2 || formatCode > 5) {
        return 8ull * frameSize;
    }
    return 2 * (8ull * frameSize / static_cast<unsigned>(formatCode));
}

CDSStreamBuffer::CDSStreamBuffer() = default;

CDSStreamBuffer::~CDSStreamBuffer() {
    Release();
}

bool CDSStreamBuffer::Create(SoundDevice& device, const AudioFormat& format, int formatCode,
                             std::uint32_t frameSize) {
    Release();
    // One decoded frame per half: a half sized for 2-bit frames would be only partly
    // filled at 3, 4 and 5 bits and play silence for the rest.
    const std::uint64_t half = HalfBytes(formatCode, frameSize);
    if (half == 0 || half > kMaxHalf || format.blockAlign != kOutputFormat.blockAlign) {
        return false;
    }
    const auto h = static_cast<std::size_t>(half);
    // The audio thread waits only for the middles and the stop; the start and half
    // positions are still signalled, but may come late.
    const std::array<Notification, kEventCount> notes{{
        {0, kEventStart, false},
        {h, kEventHalf, false},
        {Notification::kOffsetStop, kEventStopped},
        {h / 2, kEventMidFirst},
        {3 * h / 2, kEventMidSecond},
    }};
    events_.Reset();
    auto buffer = device.CreateBuffer(2 * h, notes, [this](int event) { events_.Signal(event); });
    if (!buffer) {
        return false;
    }
    std::lock_guard lock(mutex_);
    buffer_ = std::move(buffer);
    half_ = h;
    return true;
}

bool CDSStreamBuffer::FillBuffer(int index, std::span<const std::uint8_t> data) {
    // Diagnostic line of the refill; it goes nowhere.
    char line[96];
    std::snprintf(line, sizeof line, "[CDSStreamBuffer][FillBuffer][%d] iDataSize= %zu", index,
                  data.size());
    std::lock_guard lock(mutex_);
    if (!buffer_ || (index != 0 && index != 1)) {
        return false;
    }
    LockedRegion region;
    const std::size_t offset = static_cast<std::size_t>(index) * half_;
    LockResult result = buffer_->Lock(offset, half_, region);
    if (result == LockResult::BufferLost) {
        buffer_->Restore();
        result = buffer_->Lock(offset, half_, region);
    }
    if (result != LockResult::Ok) {
        return false;
    }
    // An empty block (silence, or nothing decoded) may come without any memory.
    const std::size_t first = std::min(data.size(), region.len1);
    if (first > 0) {
        std::memcpy(region.part1, data.data(), first);
    }
    std::memset(region.part1 + first, 0, region.len1 - first);
    if (region.part2 != nullptr) {
        const std::size_t second = std::min(data.size() - first, region.len2);
        if (second > 0) {
            std::memcpy(region.part2, data.data() + first, second);
        }
        std::memset(region.part2 + second, 0, region.len2 - second);
    }
    return buffer_->Unlock(region);
}

bool CDSStreamBuffer::Play(bool looping) {
    std::lock_guard lock(mutex_);
    return buffer_ && buffer_->Play(looping);
}

bool CDSStreamBuffer::Stop() {
    std::lock_guard lock(mutex_);
    if (!buffer_) {
        return false;
    }
    const bool stopped = buffer_->Stop();
    return buffer_->SetPosition(0) && stopped;
}

bool CDSStreamBuffer::SetVolume(long millibels) {
    std::lock_guard lock(mutex_);
    return buffer_ && buffer_->SetVolume(std::clamp(millibels, kVolumeMin, kVolumeMax));
}

void CDSStreamBuffer::Release() {
    std::unique_ptr<SoundBuffer> buffer;
    {
        std::lock_guard lock(mutex_);
        buffer = std::move(buffer_);
        half_ = 0;
    }
    // Destroyed outside the lock: a device may wait for its own thread here.
}

bool CDSStreamBuffer::IsCreated() const {
    std::lock_guard lock(mutex_);
    return buffer_ != nullptr;
}

} // namespace kestrova::audio

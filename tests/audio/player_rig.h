#pragma once

#include "audio/audio_player.h"
#include "audio/null_sound_device.h"
#include "stream/stream_window.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <stdexcept>
#include <thread>
#include <vector>

namespace kestrova::audio::testing {

// Polls `done` every millisecond until it holds or `limit` has passed.
template <typename F> bool WaitUntil(F done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The window as the audio object sees it: queues, clocks and the posted messages.
class FakeWindow final : public stream::StreamWindow {
public:
    struct Message {
        std::uint32_t id;
        std::uintptr_t wParam;
    };
    void PostStreamMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t) override {
        std::lock_guard lock(mutex_);
        messages_.push_back({message, wParam});
    }
    void DrawPicture(const stream::VideoPicture&) override {}
    std::vector<Message> Messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
};

// Stands in for the codec so the tests can tell the blocks apart: a frame gives as
// many samples as G.726 would at the code size (8 per byte / bits), each the value of
// the byte its code word starts in.
// Can be told to fail the way a real failure would reach the thread.
class MarkDecoder final : public BlockDecoder {
public:
    enum class Fault { None, OutOfMemory, Other };
    struct Shared {
        std::mutex mutex;
        int calls = 0;
        Fault fault = Fault::None;
        bool failCreate = false; // the factory runs out of memory
    };
    explicit MarkDecoder(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
    int Decode(int bits, std::span<const std::uint8_t> frame,
               std::span<std::int16_t> out) override {
        {
            std::lock_guard lock(shared_->mutex);
            ++shared_->calls;
            if (shared_->fault == Fault::OutOfMemory) {
                throw std::bad_alloc();
            }
            if (shared_->fault == Fault::Other) {
                throw std::logic_error("decoder fault");
            }
        }
        // One sample per code word, each the value of the byte its code word starts in.
        const std::size_t words = bits > 0 ? 8 * frame.size() / bits : 0;
        std::size_t n = 0;
        for (; n < words && n < out.size(); ++n) {
            out[n] = frame[n * bits / 8];
        }
        return static_cast<int>(n);
    }

private:
    std::shared_ptr<Shared> shared_;
};

// A player on a manual-clock null device. After the start, every Step() moves the
// cursor on to the next refill point and waits until that refill is written.
struct PlayerRig {
    explicit PlayerRig(NullSoundDevice::Options options = {NullSoundDevice::Clock::Manual,
                                                           {},
                                                           std::chrono::milliseconds(5)})
        : device(std::make_shared<NullSoundDevice>(std::move(options))),
          player(&window, device, [s = decoder] {
              if (s->failCreate) {
                  throw std::bad_alloc();
              }
              return std::make_unique<MarkDecoder>(s);
          }) {}

    ~PlayerRig() {
        player.StopThread(2000);
        player.Close();
    }

    void Queue(std::uint8_t mark, std::uint32_t timestamp, std::size_t bytes = 160) {
        window.AudioQueue().Add(std::vector<std::uint8_t>(bytes, mark), timestamp);
    }

    // Starts the thread and waits for the first half to be written and the buffer to
    // play (a manual step before the play would move nothing).
    bool Start() {
        refills = 0;
        return player.StartThread() && WaitRefills(1) &&
               WaitUntil([&] { return device->Playing(); }, std::chrono::seconds(5));
    }

    // First step: the cursor to the middle of half 0 (half 1 refilled); after that one
    // whole half each time (the other half refilled).
    bool Step() {
        device->Advance(refills == 1 ? device->Contents().size() / 4
                                     : device->Contents().size() / 2);
        return WaitRefills(refills + 1);
    }

    bool WaitRefills(std::uint64_t n) {
        refills = n;
        return device->WaitForUnlocks(n, std::chrono::seconds(5));
    }

    // The player sets the audio clock just after it hands the filled half to the
    // device, so a refill can be seen a moment before its clock: returns the clock
    // once it reads `expected`, or what it reads after two seconds.
    std::uint32_t SettledAudioClock(std::uint32_t expected) const {
        WaitUntil([&] { return window.AudioClock() == expected; }, std::chrono::seconds(2));
        return window.AudioClock();
    }

    // The 16-bit sample at byte offset `at` of the sound buffer.
    std::int16_t SampleAt(std::size_t at) const {
        const std::vector<std::uint8_t> c = device->Contents();
        return static_cast<std::int16_t>(c.at(at) | c.at(at + 1) << 8);
    }

    // True when every sample of half `index` equals `value`.
    bool HalfIs(int index, std::int16_t value) const {
        const std::vector<std::uint8_t> c = device->Contents();
        const std::size_t half = c.size() / 2;
        for (std::size_t i = index * half; i < (index + 1) * half; i += 2) {
            if (static_cast<std::int16_t>(c[i] | c[i + 1] << 8) != value) {
                return false;
            }
        }
        return true;
    }

    FakeWindow window;
    std::shared_ptr<MarkDecoder::Shared> decoder = std::make_shared<MarkDecoder::Shared>();
    std::shared_ptr<NullSoundDevice> device;
    CAudioPlayer player;
    std::uint64_t refills = 0;
};

} // namespace kestrova::audio::testing

#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kestrova::stream::fuzz {

// The first bytes of a fuzz input choose how the rest is cut into chunks, so one input
// exercises a record or object split at arbitrary places.
class Chunker {
public:
    static constexpr std::size_t kControl = 4;

    Chunker(const uint8_t* data, std::size_t size) {
        if (size >= kControl) {
            for (std::size_t i = 0; i < kControl; ++i)
                steps_[i] = static_cast<std::size_t>(data[i]) * (i + 1) + 1;
            rest_ = std::span(data + kControl, size - kControl);
        }
    }
    uint8_t Control(std::size_t i) const { return static_cast<uint8_t>(steps_[i % kControl]); }
    // Next chunk, empty at the end.
    std::span<const uint8_t> Next() {
        const std::size_t n = std::min(steps_[turn_++ % kControl], rest_.size() - pos_);
        auto chunk = rest_.subspan(pos_, n);
        pos_ += n;
        return chunk;
    }

private:
    std::size_t steps_[kControl] = {1, 1, 1, 1};
    std::span<const uint8_t> rest_;
    std::size_t pos_ = 0;
    std::size_t turn_ = 0;
};

} // namespace kestrova::stream::fuzz

#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrova::net {

// Collects the body of a one-shot answer piece by piece, up to a hard limit so a hostile
// camera cannot exhaust memory. The text view stops at the first NUL byte.
class AnswerBuffer {
public:
    struct Sizes {
        std::size_t initial = 8193;           // first allocation
        std::size_t growStep = 8192;          // least growth when a piece needs more room
        std::size_t limit = 16 * 1024 * 1024; // most bytes ever kept
    };

    void Reset(const Sizes& sizes);
    // Appends one piece. False, keeping nothing of it, when it would pass the limit; after
    // that every later piece is refused too, so the kept bytes stay a prefix of the answer.
    bool Append(std::span<const uint8_t> piece);
    bool Overflowed() const { return overflowed_; }
    std::span<const uint8_t> Bytes() const { return data_; }
    // The answer as text: everything before the first NUL byte.
    std::string Text() const;
    void Release();

private:
    std::vector<uint8_t> data_;
    Sizes sizes_;
    bool overflowed_ = false;
};

} // namespace kestrova::net

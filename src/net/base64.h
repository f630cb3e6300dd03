#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kestrova::net {

// Base64 (standard alphabet, "=" padding) as the page hands over credentials. Characters
// outside the alphabet are skipped; an unfinished group of four is kept for the next call,
// so one decoder serves one string.
class Base64Decoder {
public:
    // Decodes `text` into `out`. Returns the number of bytes written by this call, or -1
    // when `out` ran out of room (the bytes that fitted are written). A group whose third
    // or fourth character is "=" ends the call.
    int Decode(std::string_view text, std::span<uint8_t> out);

    void Reset() { filled_ = 0; }
    int PendingCharacters() const { return filled_; }

private:
    char group_[4] = {};
    int filled_ = 0;
};

} // namespace kestrova::net

// Base64Decode on arbitrary text, split over two calls, into buffers of every size: never
// writes past the room given, and a decode that fits agrees with a second, roomier one.
#include "net/base64.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const std::size_t room = data[0];
    const std::size_t split = data[1];
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::size_t cut = text.empty() ? 0 : split % (text.size() + 1);

    constexpr uint8_t kGuard = 0xA5;
    std::vector<uint8_t> out(room + 16, kGuard);
    kestrova::net::Base64Decoder decoder;
    const int first = decoder.Decode(text.substr(0, cut), std::span(out.data(), room));
    if (first < -1 || first > static_cast<int>(room))
        std::abort();
    for (std::size_t i = room; i < out.size(); ++i) {
        if (out[i] != kGuard)
            std::abort(); // wrote past the room
    }
    if (first < 0)
        return 0;
    const std::size_t used = static_cast<std::size_t>(first);
    const int second = decoder.Decode(text.substr(cut), std::span(out.data() + used, room - used));
    if (second < -1 || second > static_cast<int>(room - used))
        std::abort();
    for (std::size_t i = room; i < out.size(); ++i) {
        if (out[i] != kGuard)
            std::abort();
    }
    // The whole text in one call with ample room gives at least the same leading bytes.
    if (second >= 0 && text.find('=') == std::string_view::npos) {
        std::vector<uint8_t> whole(text.size() + 1);
        const int all = kestrova::net::Base64Decoder().Decode(text, whole);
        if (all != first + second || std::memcmp(whole.data(), out.data(), all) != 0)
            std::abort();
    }
    return 0;
}

// The answer handling of the one-shot requests and the stream's receive buffer, fed from
// memory: the input is cut into pieces as the network might deliver them.
#include "net/answer_buffer.h"
#include "net/receive_buffer.h"
#include "net/refusal.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const std::size_t limit = static_cast<std::size_t>(data[0]) * 16 + 1;
    const std::size_t capacity = static_cast<std::size_t>(data[1]) + 1;
    const uint8_t seed = data[2];
    const std::span<const uint8_t> body(data + 3, size - 3);

    kestrova::net::AnswerBuffer answer;
    answer.Reset({.initial = 17, .growStep = 16, .limit = limit});
    kestrova::net::ReceiveBuffer received(capacity);
    // The one-shot answer: pieces until the limit refuses one.
    std::size_t kept = 0;
    unsigned step = seed;
    for (std::size_t at = 0; at < body.size();) {
        step = step * 1103515245u + 12345u;
        const std::size_t piece = std::min<std::size_t>(body.size() - at, (step >> 16) % 300 + 1);
        if (!answer.Append(body.subspan(at, piece))) {
            if (!answer.Overflowed() || kept + piece <= limit)
                std::abort();
            break;
        }
        kept += piece;
        at += piece;
    }

    // The stream's receive buffer: offer pieces, take only what fits, drain varying amounts.
    std::vector<uint8_t> drained;
    for (std::size_t at = 0; at < body.size();) {
        step = step * 1103515245u + 12345u;
        const std::size_t piece = std::min<std::size_t>(body.size() - at, (step >> 16) % 300 + 1);
        if (received.CanAccept(piece)) {
            received.Append(body.subspan(at, piece));
            at += piece;
        }
        if (received.Peak() > std::max(capacity, static_cast<std::size_t>(300)))
            std::abort();
        std::vector<uint8_t> out((step >> 8) % 400);
        const std::size_t n = received.Take(out);
        drained.insert(drained.end(), out.begin(), out.begin() + n);
    }
    std::vector<uint8_t> out(capacity + 300);
    const std::size_t n = received.Take(out);
    drained.insert(drained.end(), out.begin(), out.begin() + n);
    if (!std::equal(drained.begin(), drained.end(), body.begin(), body.end()))
        std::abort(); // the stream lost or reordered bytes

    // The text is the kept bytes up to the first NUL.
    const auto bytes = answer.Bytes();
    if (bytes.size() != kept || bytes.size() > limit ||
        !std::equal(bytes.begin(), bytes.end(), body.begin(), body.begin() + kept))
        std::abort();
    const std::string text = answer.Text();
    const void* nul = bytes.empty() ? nullptr : std::memchr(bytes.data(), 0, bytes.size());
    const std::size_t expected =
        nul ? static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - bytes.data()) : kept;
    if (text.size() != expected)
        std::abort();

    (void)kestrova::net::FindStreamRefusal(body);
    (void)kestrova::net::IsAsfBusyPage(body);
    (void)kestrova::net::FindConfigRefusal(text);
    return 0;
}

#pragma once

// Measures of played sound shared by the end-to-end sound tests: silent 10 ms windows,
// and whether what sounded is the decoder's output, in order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kestrova::audio::testing {

inline constexpr std::size_t kWindowSamples = 80; // 10 ms at 8000 samples per second

// 16-bit little-endian samples of a byte block (a WAV body, a decoded block).
inline std::vector<std::int16_t> Samples(std::span<const std::uint8_t> bytes) {
    std::vector<std::int16_t> s(bytes.size() / 2);
    for (std::size_t i = 0; i < s.size(); ++i) {
        s[i] = static_cast<std::int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    return s;
}

// Share of whole 10 ms windows in `sound` whose samples all stay within +-`floor`.
inline double SilentShare(std::span<const std::int16_t> sound, int floor = 0) {
    std::size_t windows = 0;
    std::size_t silent = 0;
    for (std::size_t at = 0; at + kWindowSamples <= sound.size(); at += kWindowSamples) {
        ++windows;
        const auto w = sound.subspan(at, kWindowSamples);
        silent += std::all_of(w.begin(), w.end(),
                              [&](std::int16_t s) { return s >= -floor && s <= floor; });
    }
    return windows == 0 ? 1.0 : static_cast<double>(silent) / static_cast<double>(windows);
}

// How the played samples line up with the decoder's output: walking both in order,
// each played sample is the next decoded one, inserted silence (zero), or neither.
// A run of decoded samples that never sounded is skipped when the played sound goes on
// further ahead in the decoded output (never back).
struct Alignment {
    std::size_t matched = 0; // played samples that are the next decoded sample
    std::size_t foreign = 0; // played samples that are neither (repeated or mixed)
    std::size_t skipped = 0; // decoded samples passed over unplayed
    std::size_t next = 0;    // decoded samples consumed
};

inline Alignment Align(std::span<const std::int16_t> played,
                       std::span<const std::int16_t> decoded) {
    constexpr std::size_t kProbe = 16;   // samples that must agree to resume elsewhere
    constexpr std::size_t kReach = 8000; // how far ahead a resumption is looked for
    Alignment a;
    for (std::size_t i = 0; i < played.size(); ++i) {
        if (a.next < decoded.size() && played[i] == decoded[a.next]) {
            ++a.matched;
            ++a.next;
            continue;
        }
        if (played[i] == 0) {
            continue; // inserted silence
        }
        bool resumed = false;
        if (i + kProbe <= played.size()) {
            const auto probe = played.subspan(i, kProbe);
            const std::size_t end = std::min(decoded.size(), a.next + kReach);
            for (std::size_t q = a.next + 1; q + kProbe <= end; ++q) {
                if (std::equal(probe.begin(), probe.end(), decoded.begin() + q)) {
                    a.skipped += q - a.next;
                    a.next = q + 1;
                    ++a.matched;
                    resumed = true;
                    break;
                }
            }
        }
        a.foreign += resumed ? 0 : 1;
    }
    return a;
}

} // namespace kestrova::audio::testing

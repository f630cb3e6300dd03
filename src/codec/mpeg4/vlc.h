#pragma once

// Table-driven decoding of the variable-length codes: each code table becomes
// one look-up indexed by the next `max_len` bits of the stream.

#include "codec/mpeg4/bitreader.h"
#include "codec/mpeg4/vlc_tables.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kestrova::mpeg4 {

class VlcTable {
public:
    // Builds the look-up; false when a code is a prefix of another one or
    // longer than 16 bits.
    bool build(std::span<const VlcCode> codes);

    // The symbol of the next code word, or -1 when the bits form no code word
    // of the table (the reader then stays where it was).
    int decode(BitReader& br) const {
        const Entry e = lut_[br.peek(max_len_)];
        br.skip(e.len);
        return e.symbol;
    }

    int max_len() const { return max_len_; }

    struct Entry {
        int16_t symbol = -1;
        uint8_t len = 0;
    };
    // The entry for the next max_len() bits of the stream.
    Entry entry(uint32_t bits) const { return lut_[bits]; }

private:
    std::vector<Entry> lut_;
    int max_len_ = 0;
};

// Coefficient codes (at most kCoefBits = 12 bits) in two small look-ups, so
// they stay in the first-level cache: the next kCoefFirstBits bits give the
// whole symbol of all but the longest codes, or a second table for the bits
// after them.
inline constexpr int kCoefBits = 12;
inline constexpr int kCoefFirstBits = 10;
// Eight bytes, so a look-up is one scaled load: the table walk is the
// decoder's longest dependency chain.
struct alignas(8) CoefEntry {
    enum Kind : uint8_t { Regular, Escape, Invalid, Second };
    int16_t level = 0; // magnitude (the sign bit follows the code); Second: table offset
    uint8_t run = 0;
    uint8_t last = 0;
    uint8_t len = 0;  // whole code length
    uint8_t bits = 0; // bits a regular symbol takes with its sign bit (len + 1)
    Kind kind = Invalid;
};
static_assert(sizeof(CoefEntry) == 8);

struct CoefTable {
    static constexpr int kSecondBits = kCoefBits - kCoefFirstBits;
    CoefEntry first[1 << kCoefFirstBits];
    CoefEntry second[1 << kCoefBits];

    // The entry for a code at the top of w (MSB first).
    CoefEntry lookup(uint32_t w) const {
        const CoefEntry e = first[w >> (32 - kCoefFirstBits)];
        if (e.kind != CoefEntry::Second) [[likely]]
            return e;
        return second[e.level + ((w >> (32 - kCoefBits)) & ((1u << kSecondBits) - 1))];
    }
};

struct VlcTables {
    VlcTable mcbpc_intra, mcbpc_inter, cbpy, dc_luma, dc_chroma, mv;
    VlcTable tcoef[2]; // [0] inter, [1] intra
    // Largest level for (last, run) and largest run for (last, level), used by
    // the escape modes; 0 / -1 where the table has no such entry.
    uint8_t lmax[2][2][64]; // [intra][last][run]
    int8_t rmax[2][2][32];  // [intra][last][level]
    // (last, run, level) of every regular coefficient symbol, [intra][symbol].
    struct {
        uint8_t last, run, level;
    } tcoef_info[2][kTcoefSymbols];
    CoefTable coef[2]; // [0] inter, [1] intra
    bool valid = true; // every table built without a clash
};

// The tables, built once on first use (thread-safe).
const VlcTables& vlc_tables();

// (last, run, level) of a regular coefficient symbol.
struct Tcoef {
    int last;
    int run;
    int level;
};
Tcoef tcoef_symbol(bool intra, int symbol);

} // namespace kestrova::mpeg4

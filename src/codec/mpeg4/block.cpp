#include "codec/mpeg4/block.h"

namespace kestrova::mpeg4 {

bool decode_coefficients(BitReader& br, const VlcTables& t, bool intra, const uint8_t* scan,
                         int start, int32_t* qf, uint8_t* positions, int* count) {
    const VlcTable& table = t.tcoef[intra ? 1 : 0];
    const int ti = intra ? 1 : 0;
    int pos = start;
    for (;;) {
        // Regular symbols and their sign bit come from one look at the stream.
        const uint32_t bits = br.peek(table.max_len() + 1);
        const VlcTable::Entry e = table.entry(bits >> 1);
        int sym = e.symbol;
        if (sym < 0)
            return false;
        int last, run, level;
        if (sym != kTcoefEscape) {
            const auto& c = t.tcoef_info[ti][sym];
            last = c.last;
            run = c.run;
            const bool negative = (bits >> (table.max_len() - e.len)) & 1;
            br.skip(e.len + 1);
            level = negative ? -c.level : c.level;
        } else if ((br.skip(e.len), br.get_bit()) == 0) {
            // Mode 1: level offset by the largest level of (last, run).
            sym = table.decode(br);
            if (sym < 0 || sym == kTcoefEscape)
                return false;
            const auto& c = t.tcoef_info[ti][sym];
            last = c.last;
            run = c.run;
            const int mag = c.level + t.lmax[ti][c.last][c.run];
            level = br.get_bit() ? -mag : mag;
        } else if (br.get_bit() == 0) {
            // Mode 2: run offset past the largest run of (last, level).
            sym = table.decode(br);
            if (sym < 0 || sym == kTcoefEscape)
                return false;
            const auto& c = t.tcoef_info[ti][sym];
            last = c.last;
            run = c.run + t.rmax[ti][c.last][c.level] + 1;
            level = br.get_bit() ? -c.level : c.level;
        } else {
            // Mode 3: fixed-length last, run and 12-bit signed level.
            last = static_cast<int>(br.get(1));
            run = static_cast<int>(br.get(6));
            br.skip(1); // marker
            level = static_cast<int>(br.get(12));
            br.skip(1); // marker
            if (level >= 2048)
                level -= 4096;
        }
        pos += run;
        if (pos > 63)
            return false;
        qf[scan[pos]] = level;
        if (positions)
            positions[(*count)++] = scan[pos];
        ++pos;
        if (last)
            return true;
    }
}

int read_dc_differential(BitReader& br, int size) {
    if (size == 0)
        return 0;
    int v = static_cast<int>(br.get(size));
    if ((v >> (size - 1)) == 0)
        v -= (1 << size) - 1;
    if (size > 8)
        br.skip(1); // marker
    return v;
}

} // namespace kestrova::mpeg4

#include "codec/mpeg4/block.h"

#include "codec/mpeg4/vlc_tables.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace kestrova::mpeg4 {
namespace {

// 64 bits at bit position pos, zero-padded past the end; at least the top
// 57 are stream bits (the rest are the low bits of the last byte's shift).
// The last bytes of the input, kept out of line so the decoding loops stay
// small enough for their values to live in registers.
[[gnu::noinline]] uint64_t tail_window64(const uint8_t* data, size_t size, size_t byte) {
    uint64_t w = 0;
    for (size_t i = 0; i < 8; ++i)
        w = (w << 8) | (byte + i < size ? data[byte + i] : 0u);
    return w;
}

inline uint64_t window64_at(const uint8_t* data, size_t size, size_t pos) {
    const size_t byte = pos >> 3;
    uint64_t w;
    if (byte + 8 <= size) [[likely]] {
        std::memcpy(&w, data + byte, 8);
        w = __builtin_bswap64(w);
    } else {
        w = tail_window64(data, size, byte);
    }
    return w << (pos & 7);
}

// One 64-bit load serves several symbols: a regular one takes at most
// kCoefBits + 1 bits, and 57 of the loaded bits are stream bits.
constexpr int kRefillAfter = 57 - (kCoefBits + 1);

// One escaped coefficient from the bits at the top of w, which follow the
// escape code: the number of bits it takes (-1 for an invalid code) and the
// coefficient. The longest form (mode 3) takes 23 bits, well within the
// window's 57. Returned by value: locals whose address is taken would live
// in memory in the decoding loops.
struct Escaped {
    int bits, last, run, level;
};

[[gnu::noinline]] Escaped read_escape(uint64_t w, const VlcTables& t, int ti) {
    const CoefTable& lut = t.coef[ti];
    if ((w >> 63) == 0) {
        // Mode 1: level offset by the largest level of (last, run).
        const CoefEntry e = lut.lookup(static_cast<uint32_t>((w << 1) >> 32));
        if (e.kind != CoefEntry::Regular)
            return {-1, 0, 0, 0};
        const int mag = e.level + t.lmax[ti][e.last][e.run];
        return {1 + e.bits, e.last, e.run, ((w << (1 + e.len)) >> 63) ? -mag : mag};
    }
    if (((w << 1) >> 63) == 0) {
        // Mode 2: run offset past the largest run of (last, level).
        const CoefEntry e = lut.lookup(static_cast<uint32_t>((w << 2) >> 32));
        if (e.kind != CoefEntry::Regular)
            return {-1, 0, 0, 0};
        const int run = e.run + t.rmax[ti][e.last][e.level] + 1;
        return {2 + e.bits, e.last, run, ((w << (2 + e.len)) >> 63) ? -e.level : e.level};
    }
    // Mode 3: fixed-length last, run, marker, 12-bit signed level, marker.
    int level = static_cast<int>((w >> 42) & 4095);
    if (level >= 2048)
        level -= 4096;
    return {23, static_cast<int>((w >> 61) & 1), static_cast<int>((w >> 55) & 63), level};
}

// Decodes (last, run, level) symbols from scan position `start` and hands
// each coefficient to place(raster index, level). The bit position lives in
// a local while regular symbols are read; escapes go through the reader.
template <typename Place>
inline bool decode_run(BitReader& br, const VlcTables& t, bool intra, const uint8_t* scan,
                       int start, Place place) {
    const int ti = intra ? 1 : 0;
    const CoefTable& lut = t.coef[ti];
    const uint8_t* data = br.data();
    const size_t size = br.size();
    size_t bitpos = br.bit_position();
    uint64_t cache = window64_at(data, size, bitpos);
    int used = 0;
    int pos = start;
    for (;;) {
        if (used > kRefillAfter) {
            cache = window64_at(data, size, bitpos);
            used = 0;
        }
        const auto w = static_cast<uint32_t>((cache << used) >> 32);
        const CoefEntry e = lut.lookup(w);
        int last, run, level;
        if (e.kind == CoefEntry::Regular) {
            last = e.last;
            run = e.run;
            level = ((w << e.len) >> 31) ? -e.level : e.level;
            bitpos += e.bits;
            used += e.bits;
        } else if (e.kind == CoefEntry::Escape) {
            bitpos += e.len;
            cache = window64_at(data, size, bitpos);
            const Escaped x = read_escape(cache, t, ti);
            if (x.bits < 0) {
                br.set_bit_position(bitpos);
                return false;
            }
            last = x.last;
            run = x.run;
            level = x.level;
            bitpos += static_cast<unsigned>(x.bits);
            used = x.bits;
        } else {
            br.set_bit_position(bitpos);
            return false;
        }
        pos += run;
        if (pos > 63) {
            br.set_bit_position(bitpos);
            return false;
        }
        place(scan[pos], level);
        ++pos;
        if (last) {
            br.set_bit_position(bitpos);
            return true;
        }
    }
}

} // namespace

bool decode_coefficients(BitReader& br, const VlcTables& t, bool intra, const uint8_t* scan,
                         int start, int32_t* qf, uint8_t* positions, int* count) {
    if (positions) {
        int n = *count;
        const bool ok = decode_run(br, t, intra, scan, start, [&](int i, int level) {
            qf[i] = level;
            positions[n++] = static_cast<uint8_t>(i);
        });
        *count = n;
        return ok;
    }
    return decode_run(br, t, intra, scan, start, [qf](int i, int level) { qf[i] = level; });
}

namespace {

// The zigzag scan with every raster index r x 8 + c turned into c x 8 + r.
const auto kZigzagColumns = [] {
    std::array<uint8_t, 64> t{};
    for (int i = 0; i < 64; ++i)
        t[i] = static_cast<uint8_t>((kZigzagScan[i] % 8) * 8 + kZigzagScan[i] / 8);
    return t;
}();

} // namespace

bool decode_intra_coefficients(BitReader& br, const VlcTables& t, const uint8_t* scan, int32_t* qf,
                               uint64_t* written) {
    uint64_t mask = 0;
    const bool ok = decode_run(br, t, true, scan, 1, [&](int i, int level) {
        qf[i] = level;
        mask |= uint64_t{1} << i;
    });
    *written = mask;
    return ok;
}

namespace {

// Decodes one block's (last, run, level) symbols from scan position `start`,
// inverse quantising each level by the H.263 method with quantiser qp as it
// is read: |F| = 2 qp |L| + qp, less one for an even qp, saturated. With
// Intra, each quantised level is also stored at its raster index in `raw`
// (intra prediction works on the quantised first row and column). Regular
// symbols have |L| <= 27, so with qp <= 31 they never reach the saturation
// limit.
template <bool Intra>
inline bool decode_h263(BitReader& br, const VlcTables& t, int qp, const uint8_t* scan, int start,
                        int32_t* block, int32_t* raw) {
    const int32_t mul = 2 * qp;
    const int32_t add = (qp & 1) ? qp : qp - 1;
    const CoefTable& lut = t.coef[Intra ? 1 : 0];
    // The window holds the stream from bit `base`; `used` of its bits are
    // taken. Few values live in the loop, so they all stay in registers.
    size_t base = br.bit_position();
    uint64_t cache = window64_at(br.data(), br.size(), base);
    unsigned used = 0;
    int pos = start;
    bool ok = false;
    for (;;) {
        if (used > unsigned{kRefillAfter}) [[unlikely]] {
            base += used;
            cache = window64_at(br.data(), br.size(), base);
            used = 0;
        }
        const uint64_t bits = cache << used;
        const CoefEntry e = lut.lookup(static_cast<uint32_t>(bits >> 32));
        int last, level;
        int32_t value;
        if (e.kind == CoefEntry::Regular) [[likely]] {
            last = e.last;
            pos += e.run;
            used += e.bits;
            const int32_t negative = -static_cast<int32_t>((bits << e.len) >> 63);
            if (pos > 63)
                break;
            const int32_t mag = e.level * mul + add;
            value = (mag ^ negative) - negative;
            level = (e.level ^ negative) - negative;
        } else if (e.kind == CoefEntry::Escape) {
            base += used + e.len;
            cache = window64_at(br.data(), br.size(), base);
            const Escaped x = read_escape(cache, t, Intra ? 1 : 0);
            used = 0;
            if (x.bits < 0)
                break;
            used = static_cast<unsigned>(x.bits);
            last = x.last;
            level = x.level;
            pos += x.run;
            if (pos > 63)
                break;
            // |level| <= 2048 and qp <= 31 keep this within 32 bits.
            const int32_t mag = (level < 0 ? -level : level) * mul + add;
            value = level == 0 ? 0 : std::clamp(level < 0 ? -mag : mag, -2048, 2047);
        } else {
            break;
        }
        const int index = scan[pos];
        block[index] = value;
        if constexpr (Intra)
            raw[index] = level;
        ++pos;
        if (last) {
            ok = true;
            break;
        }
    }
    br.set_bit_position(base + used);
    return ok;
}

} // namespace

bool decode_inter_h263(BitReader& br, const VlcTables& t, int qp, int32_t* block) {
    return decode_h263<false>(br, t, qp, kZigzagColumns.data(), 0, block, nullptr);
}

bool decode_intra_h263(BitReader& br, const VlcTables& t, int qp, const uint8_t* scan,
                       int32_t* qf) {
    // Every quantised level lands in raw; only the first row and column are
    // read back, so only they need to start at zero.
    int32_t raw[64];
    for (int i = 1; i < 8; ++i)
        raw[i] = raw[8 * i] = 0;
    const bool ok = decode_h263<true>(br, t, qp, scan, 1, qf, raw);
    for (int i = 1; i < 8; ++i) {
        qf[i] = raw[i];
        qf[8 * i] = raw[8 * i];
    }
    return ok;
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

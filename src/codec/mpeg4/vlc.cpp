#include "codec/mpeg4/vlc.h"

#include <algorithm>

namespace kestrova::mpeg4 {

bool VlcTable::build(std::span<const VlcCode> codes) {
    max_len_ = 0;
    for (const VlcCode& c : codes)
        max_len_ = std::max<int>(max_len_, c.len);
    if (max_len_ == 0 || max_len_ > 16)
        return false;
    lut_.assign(size_t{1} << max_len_, Entry{});
    bool ok = true;
    for (size_t sym = 0; sym < codes.size(); ++sym) {
        const VlcCode& c = codes[sym];
        if (c.len == 0)
            return false;
        const size_t shift = static_cast<size_t>(max_len_ - c.len);
        const size_t first = size_t{c.code} << shift;
        const size_t last = first + (size_t{1} << shift);
        if (last > lut_.size())
            return false;
        for (size_t i = first; i < last; ++i) {
            if (lut_[i].len != 0)
                ok = false;
            lut_[i] = Entry{static_cast<int16_t>(sym), c.len};
        }
    }
    return ok;
}

Tcoef tcoef_symbol(bool intra, int symbol) {
    if (intra)
        return {symbol >= kTcoefIntraFirstLast ? 1 : 0, kTcoefIntraRun[symbol],
                kTcoefIntraLevel[symbol]};
    return {symbol >= kTcoefInterFirstLast ? 1 : 0, kTcoefInterRun[symbol],
            kTcoefInterLevel[symbol]};
}

namespace {

VlcTables make_tables() {
    VlcTables t{};
    bool ok = true;
    ok &= t.mcbpc_intra.build(kMcbpcIntra);
    ok &= t.mcbpc_inter.build(kMcbpcInter);
    ok &= t.cbpy.build(kCbpy);
    ok &= t.dc_luma.build(kDcSizeLuma);
    ok &= t.dc_chroma.build(kDcSizeChroma);
    ok &= t.mv.build(kMvMagnitude);
    ok &= t.tcoef[0].build(kTcoefInter);
    ok &= t.tcoef[1].build(kTcoefIntra);
    for (int intra = 0; intra < 2; ++intra) {
        for (auto& row : t.rmax[intra])
            std::fill(std::begin(row), std::end(row), int8_t{-1});
        for (int sym = 0; sym < kTcoefSymbols; ++sym) {
            const Tcoef c = tcoef_symbol(intra != 0, sym);
            t.tcoef_info[intra][sym] = {static_cast<uint8_t>(c.last), static_cast<uint8_t>(c.run),
                                        static_cast<uint8_t>(c.level)};
            uint8_t& lm = t.lmax[intra][c.last][c.run];
            lm = std::max<uint8_t>(lm, static_cast<uint8_t>(c.level));
            int8_t& rm = t.rmax[intra][c.last][c.level];
            rm = std::max<int8_t>(rm, static_cast<int8_t>(c.run));
        }
    }
    for (int intra = 0; intra < 2 && ok; ++intra) {
        const VlcTable& table = t.tcoef[intra];
        ok &= table.max_len() == kCoefBits;
        auto entry = [&](uint32_t bits) {
            const VlcTable::Entry e = table.entry(bits);
            CoefEntry c;
            c.len = e.len;
            if (e.symbol == kTcoefEscape) {
                c.kind = CoefEntry::Escape;
            } else if (e.symbol >= 0) {
                const auto& info = t.tcoef_info[intra][e.symbol];
                c = {static_cast<int16_t>(info.level), info.run,          info.last, e.len,
                     static_cast<uint8_t>(e.len + 1),  CoefEntry::Regular};
            }
            return c;
        };
        CoefTable& out = t.coef[intra];
        int used = 0;
        constexpr int kLow = CoefTable::kSecondBits;
        for (uint32_t prefix = 0; ok && prefix < (1u << kCoefFirstBits); ++prefix) {
            const VlcTable::Entry e = table.entry(prefix << kLow);
            if (e.symbol >= 0 && e.len <= kCoefFirstBits) {
                out.first[prefix] = entry(prefix << kLow);
                continue;
            }
            out.first[prefix].kind = CoefEntry::Second;
            out.first[prefix].level = static_cast<int16_t>(used);
            for (uint32_t low = 0; low < (1u << kLow); ++low)
                out.second[used + low] = entry((prefix << kLow) | low);
            used += 1 << kLow;
        }
    }
    t.valid = ok;
    return t;
}

} // namespace

const VlcTables& vlc_tables() {
    static const VlcTables tables = make_tables();
    return tables;
}

} // namespace kestrova::mpeg4

#include "codec/yuv/yuv_kernel.h"

#include <cstring>

namespace kestrova::yuv {
namespace {

struct ChromaTerms {
    int32_t red;
    int32_t green;
    int32_t blue;
};

inline ChromaTerms chromaTerms(const ColourTables& t, uint8_t cb, uint8_t cr) {
    return {t.crToRed[cr], -t.cbToGreen[cb] - t.crToGreen[cr], t.cbToBlue[cb]};
}

inline void putPixel(uint8_t* px, const uint8_t* clamp, int32_t y, const ChromaTerms& c) {
    px[0] = clamp[(y + c.blue) >> 16];
    px[1] = clamp[(y + c.green) >> 16];
    px[2] = clamp[(y + c.red) >> 16];
}

// Four pixels of one line from two chroma samples, stored as three words.
inline void fourPixels(const ConversionTables& tables, const uint8_t* luma, const ChromaTerms& c0,
                       const ChromaTerms& c1, uint8_t* out) {
    const int32_t* ytab = tables.colour->y;
    uint8_t px[12];
    putPixel(px + 0, tables.clamp, ytab[luma[0]], c0);
    putPixel(px + 3, tables.clamp, ytab[luma[1]], c0);
    putPixel(px + 6, tables.clamp, ytab[luma[2]], c1);
    putPixel(px + 9, tables.clamp, ytab[luma[3]], c1);
    std::memcpy(out, px, sizeof px);
}

} // namespace

void convertRowPairReference(const ConversionTables& tables, const RowPair& rows, int width) {
    const ColourTables& t = *tables.colour;
    for (int x = 0; x < width; x += 4) {
        const int c = x / 2;
        const ChromaTerms c0 = chromaTerms(t, rows.cb[c], rows.cr[c]);
        const ChromaTerms c1 = chromaTerms(t, rows.cb[c + 1], rows.cr[c + 1]);
        fourPixels(tables, rows.y0 + x, c0, c1, rows.out0 + 3 * x);
        fourPixels(tables, rows.y1 + x, c0, c1, rows.out1 + 3 * x);
    }
}

} // namespace kestrova::yuv

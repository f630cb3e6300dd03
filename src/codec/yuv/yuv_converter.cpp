#include "codec/yuv/yuv2rgb.h"
#include "codec/yuv/yuv_convert.h"

#include <new>

namespace kestrova {

CYuvToRgb::CYuvToRgb() : m_colour(new (std::nothrow) yuv::ColourTables) {}

CYuvToRgb::~CYuvToRgb() = default;

int CYuvToRgb::Initialise() {
    if (!m_colour) {
        return 0;
    }
    if (!m_clampRaw) {
        m_clampRaw.reset(new (std::nothrow) uint8_t[yuv::kClampSize]);
        if (!m_clampRaw) {
            return 0;
        }
    }
    m_clamp = yuv::fillClampTable(m_clampRaw.get());
    yuv::fillColourTables(*m_colour);
    return 1;
}

int CYuvToRgb::Convert(const unsigned char* y, const unsigned char* cb, const unsigned char* cr,
                       unsigned char* bgr, int width, int height) {
    return Convert(y, cb, cr, 0, 0, bgr, width, height);
}

int CYuvToRgb::Convert(const unsigned char* y, const unsigned char* cb, const unsigned char* cr,
                       std::ptrdiff_t lumaStride, std::ptrdiff_t chromaStride, unsigned char* bgr,
                       int width, int height) {
    const yuv::ConversionTables tables{m_clamp != nullptr ? m_colour.get() : nullptr, m_clamp};
    const yuv::PlanarPicture picture{y, cb, cr, lumaStride, chromaStride};
    return yuv::convertPicture(tables, yuv::bestKernel(), picture, bgr, width, height) ? 1 : 0;
}

int CYuvToRgb::ConvertToSurface(const unsigned char* y, const unsigned char* cb,
                                const unsigned char* cr, std::ptrdiff_t lumaStride,
                                std::ptrdiff_t chromaStride, unsigned char* surface,
                                std::ptrdiff_t surfaceStride, int width, int height, bool flip,
                                bool mirror) const {
    const yuv::ConversionTables tables{m_clamp != nullptr ? m_colour.get() : nullptr, m_clamp};
    const yuv::PlanarPicture picture{y, cb, cr, lumaStride, chromaStride};
    const yuv::SurfaceTarget target{surface, surfaceStride, flip, mirror};
    return yuv::convertPictureToSurface(tables, yuv::bestKernel(), picture, target, width, height)
               ? 1
               : 0;
}

void CYuvToRgb::ReleaseClampTable() {
    m_clamp = nullptr;
    m_clampRaw.reset();
}

} // namespace kestrova

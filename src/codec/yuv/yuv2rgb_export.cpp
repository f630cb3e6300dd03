#include "codec/yuv/yuv2rgb.h"
#include "codec/yuv/yuv_convert.h"

#include <atomic>
#include <mutex>
#include <new>

namespace {

using namespace kestrova::yuv;

ColourTables g_colour;
std::unique_ptr<uint8_t[]> g_clampRaw;
// Published after the tables are filled; conversions read it without a lock.
std::atomic<const uint8_t*> g_clamp{nullptr};
std::mutex g_lifecycle;

} // namespace

void init_YUV2RGB_tab(void) {
    std::lock_guard lock(g_lifecycle);
    if (g_clamp.load(std::memory_order_relaxed) != nullptr) {
        return;
    }
    std::unique_ptr<uint8_t[]> raw(new (std::nothrow) uint8_t[kClampSize]);
    if (!raw) {
        return; // conversions stay refused
    }
    const uint8_t* clamp = fillClampTable(raw.get());
    fillColourTables(g_colour);
    g_clampRaw = std::move(raw);
    g_clamp.store(clamp, std::memory_order_release);
}

void delete_YUV2RGB_tab(void) {
    std::lock_guard lock(g_lifecycle);
    g_clamp.store(nullptr, std::memory_order_release);
    g_clampRaw.reset();
}

void ConvertYUVtoRGB(unsigned char* yuv, unsigned char* bgr, int width, int height) {
    const uint8_t* clamp = g_clamp.load(std::memory_order_acquire);
    if (yuv == nullptr || clamp == nullptr || !isConvertibleSize(width, height)) {
        return;
    }
    const std::ptrdiff_t lumaSize = std::ptrdiff_t{width} * height;
    const PlanarPicture picture{yuv, yuv + lumaSize, yuv + lumaSize + lumaSize / 4};
    convertPicture(ConversionTables{&g_colour, clamp}, bestKernel(), picture, bgr, width, height);
}

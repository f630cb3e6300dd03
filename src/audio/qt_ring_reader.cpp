#include "audio/qt_ring_reader.h"

#include <cstring>

namespace kestrova::audio {

qint64 RingReader::readData(char* data, qint64 maxlen) {
    if (maxlen <= 0) {
        return 0;
    }
    // Whole samples only, so the cursor stays on a sample boundary.
    const auto want = static_cast<std::size_t>(maxlen) & ~std::size_t{1};
    auto* out = reinterpret_cast<std::uint8_t*>(data);
    const std::size_t got = ring_->Pull(want, out);
    std::memset(out + got, 0, want - got);
    return static_cast<qint64>(want);
}

} // namespace kestrova::audio

// Object and type identifiers of the ASF container, in wire byte order
// (first three fields little-endian, the last eight bytes as written).
#pragma once

#include <array>
#include <cstdint>

namespace kestrova::sim::asf {

using Guid = std::array<uint8_t, 16>;

constexpr Guid MakeGuid(uint32_t a, uint16_t b, uint16_t c, uint64_t d) {
    Guid g{};
    for (int i = 0; i < 4; ++i)
        g[i] = static_cast<uint8_t>(a >> (8 * i));
    for (int i = 0; i < 2; ++i) {
        g[4 + i] = static_cast<uint8_t>(b >> (8 * i));
        g[6 + i] = static_cast<uint8_t>(c >> (8 * i));
    }
    for (int i = 0; i < 8; ++i)
        g[8 + i] = static_cast<uint8_t>(d >> (8 * (7 - i)));
    return g;
}

inline constexpr Guid kHeaderObject = MakeGuid(0x75B22630, 0x668E, 0x11CF, 0xA6D900AA0062CE6CULL);
inline constexpr Guid kDataObject = MakeGuid(0x75B22636, 0x668E, 0x11CF, 0xA6D900AA0062CE6CULL);
inline constexpr Guid kFileProperties = MakeGuid(0x8CABDCA1, 0xA947, 0x11CF, 0x8EE400C00C205365ULL);
inline constexpr Guid kStreamProperties =
    MakeGuid(0xB7DC0791, 0xA9B7, 0x11CF, 0x8EE600C00C205365ULL);
inline constexpr Guid kHeaderExtension =
    MakeGuid(0x5FBF03B5, 0xA92E, 0x11CF, 0x8EE300C00C205365ULL);
inline constexpr Guid kReserved1 = MakeGuid(0xABD3D211, 0xA9BA, 0x11CF, 0x8EE600C00C205365ULL);
inline constexpr Guid kVideoMedia = MakeGuid(0xBC19EFC0, 0x5B4D, 0x11CF, 0xA8FD00805F5C442BULL);
inline constexpr Guid kAudioMedia = MakeGuid(0xF8699E40, 0x5B4D, 0x11CF, 0xA8FD00805F5C442BULL);
inline constexpr Guid kNoErrorCorrection =
    MakeGuid(0x20FB5700, 0x5B55, 0x11CF, 0xA8FD00805F5C442BULL);

} // namespace kestrova::sim::asf

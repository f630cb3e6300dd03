#pragma once

#include <array>
#include <cstdint>
#include <cstring>

namespace kestrova::stream::asf {

using Guid = std::array<uint8_t, 16>;

// Object identifiers as they appear on the wire (little-endian GUID layout).
inline constexpr Guid kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                       0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
inline constexpr Guid kDataObject = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                     0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
inline constexpr Guid kFilePropertiesObject = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                               0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
inline constexpr Guid kStreamPropertiesObject = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                                 0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
inline constexpr Guid kVideoMedia = {0xC0, 0xEF, 0x19, 0xBC, 0x4D, 0x5B, 0xCF, 0x11,
                                     0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
inline constexpr Guid kAudioMedia = {0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11,
                                     0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};

inline bool IsGuid(const uint8_t* bytes, const Guid& guid) {
    return std::memcmp(bytes, guid.data(), guid.size()) == 0;
}

// Field positions the parser relies on.
inline constexpr std::size_t kObjectHeaderSize = 24;    // identifier + 64-bit size
inline constexpr std::size_t kMinPacketSizeOffset = 92; // in the File Properties Object
inline constexpr std::size_t kStreamTypeOffset = 24;    // in a Stream Properties Object
inline constexpr std::size_t kTypeDataOffset = 78;      // WAVEFORMATEX / video header
inline constexpr std::size_t kBitmapInfoOffset = 89;    // BITMAPINFOHEADER of a video stream
inline constexpr std::size_t kBitmapInfoSize = 40;
inline constexpr std::size_t kBitsPerSampleOffset = 92; // WAVEFORMATEX.wBitsPerSample
inline constexpr std::size_t kPayloadFlagsOffset = 13;  // in a data packet
inline constexpr std::size_t kPaddingLengthOffset = 5;  // in a data packet

} // namespace kestrova::stream::asf

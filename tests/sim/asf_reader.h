// An independent reader of the camera's ASF layout for the tests: it checks
// each structural rule as it goes and reports the first breach.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::sim::test {

struct AsfHeaderInfo {
    size_t headerObjectSize = 0; // the header object alone
    size_t dataStart = 0;        // first data packet
    uint32_t packetSize = 0;
    int width = 0, height = 0;
    std::string fourcc;
    std::string videoConfig;
    bool hasAudio = false;
    int audioTag = 0, audioChannels = 0, audioRate = 0, audioBits = 0;
};

// nullopt with a reason when the bytes are not a complete header in the camera's form.
std::optional<AsfHeaderInfo> ReadAsfHeader(std::string_view bytes, std::string* error);

struct AsfObject {
    uint8_t streamByte = 0; // of its first payload
    uint32_t presentationMs = 0;
    std::string data;
    std::optional<std::array<uint8_t, 4>> motion; // padding after the completing payload
};

struct AsfPackets {
    std::vector<AsfObject> objects; // complete media objects in order
    size_t packets = 0;
    std::string error; // first rule broken, "" when none
};

// Walks whole packets of packetSize bytes; a trailing partial packet is ignored.
AsfPackets ReadAsfPackets(std::string_view data, uint32_t packetSize);

} // namespace kestrova::sim::test

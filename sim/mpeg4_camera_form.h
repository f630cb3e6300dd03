// The camera sends its MPEG-4 stream headers in one fixed form: a 14-byte
// video object layer header with no optional fields, and no group_of_vop
// headers in front of key frames. These helpers rewrite an encoder's output
// into that form.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kestrova::sim {

// The fixed layer header: Simple object type, square pixels, rectangular,
// not interlaced, OBMC off, no sprites, 8-bit, H.263 quantisation, resync
// markers off, no data partitioning, no scalability.
std::vector<uint8_t> CameraLayerHeader(int width, int height, int timeResolution);

// Stream headers with every layer header replaced by CameraLayerHeader and
// user data dropped; other start-code units are kept as they are.
std::vector<uint8_t> RewriteStreamHeaders(std::span<const uint8_t> headers, int width, int height,
                                          int timeResolution);

// A coded frame without its group_of_vop header (and any other unit ahead of
// the first VOP), so that it begins with the VOP start code.
std::vector<uint8_t> StripToVop(std::span<const uint8_t> frame);

// Offsets of every 00 00 01 xx start code in data.
std::vector<size_t> FindStartCodes(std::span<const uint8_t> data);

} // namespace kestrova::sim

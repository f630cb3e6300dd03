#pragma once

// Test media for the MPEG-4 decoder: clips encoded at run time with the
// ffmpeg command-line tool, split into frames, the reference pictures from
// FFmpeg's own decoder, and a rewriter to the camera's 14-byte layer header.

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova::mpeg4::testing {

using Bytes = std::vector<uint8_t>;

struct ClipRecipe {
    std::string source = "testsrc2"; // lavfi source name (options appended)
    std::string filter;              // extra filter chain, may be empty
    std::string codec = "mpeg4";     // "mpeg4" or "libxvid"
    int width = 176;
    int height = 144;
    int frames = 10;
    int qscale = 4;
    int gop = 12;
    bool mv4 = false;
    bool mpeg_quant = false;
    int packet_bytes = 0; // > 0: video packets of about this size (resync markers)
    std::string name() const;
};

struct Clip {
    int width = 0;
    int height = 0;
    std::vector<Bytes> frames;    // one compressed picture each, headers kept
    std::vector<Bytes> reference; // FFmpeg's decoded I420 pictures
};

// A fresh private folder under the system's temporary folder.
std::string make_temp_dir();
// Runs a shell command; true when it exits with 0.
bool run(const std::string& command);
Bytes read_file(const std::string& path);
bool write_file(const std::string& path, const Bytes& data);

// Encodes the clip into dir and decodes its reference; false on any failure.
bool make_clip(const ClipRecipe& recipe, const std::string& dir, Clip& clip);

// Splits an elementary stream into pictures: each picture starts at the first
// start code after the previous VOP and runs to the next one.
std::vector<Bytes> split_pictures(const Bytes& stream);

// Replaces the video object layer header in a frame by the camera's 14-byte
// form carrying the same resolution (or the given one, when not negative),
// time resolution and quant_type. Returns the frame unchanged when it has no
// layer header; empty on a parse error.
Bytes rewrite_to_camera_layer(const Bytes& frame, int width = -1, int height = -1);

// Offset of the first start code with the given value, or -1.
long find_start_code(const Bytes& data, uint8_t value);

// MSB-first bit writer for hand-made streams.
struct BitWriter {
    Bytes out;
    int used = 8;
    void put(uint32_t value, int bits);
    // Pads with the stuffing pattern (0 then ones) to the byte boundary.
    void stuff();
};

// Luma PSNR in dB between two planes of equal size (99 for identical).
double luma_psnr(const uint8_t* a, const uint8_t* b, size_t count);

} // namespace kestrova::mpeg4::testing

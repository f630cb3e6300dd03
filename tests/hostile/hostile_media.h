#pragma once

// Pictures and camera byte streams for the hostile camera: well-formed ones to start from
// and the damaged, lying and costly variants a broken or hostile camera sends.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrova::hostile {

using Bytes = std::vector<uint8_t>;

// A JPEG of a colour gradient, baseline or progressive (about ten scans).
Bytes EncodeJpeg(int width, int height, bool progressive, int quality = 80);
// Number of scans (SOS segments) in a JPEG.
int CountScans(const Bytes& jpeg);
// The progressive picture with its smallest scan repeated until it has `scans` scans.
// libjpeg decodes every repeat (warning about the bogus progression) at the cost of a full
// pass over the picture's coefficients.
Bytes WithScans(const Bytes& progressive, int scans);
// The picture with the frame header's size replaced: the data no longer matches it.
Bytes WithFrameSize(const Bytes& jpeg, int width, int height);
// The picture cut inside its scan data, at `fraction` of the first scan's entropy bytes.
Bytes CutInsideScan(const Bytes& jpeg, double fraction);
// The picture with a restart marker where none belongs, halfway into its first scan.
Bytes WithStrayMarker(const Bytes& jpeg);

// Motion-JPEG records of one video frame (split into records of at most 60000 bytes), with
// the total size given or, when `totalSize` is negative, the frame's own.
Bytes MJpegVideo(const Bytes& frame, uint32_t timestamp, long long totalSize = -1,
                 const char* tag = "MJPG", int width = 320, int height = 240);

// An MPEG-4 clip of a test pattern made by ffmpeg: stream headers and one picture each.
struct Mpeg4Clip {
    Bytes config;
    std::vector<Bytes> frames;
};
const Mpeg4Clip& TestClip(); // 320 x 240, 10 pictures, made once per process

// ASF in the camera's layout.
struct AsfOptions {
    int width = 320;
    int height = 240;
    uint32_t packetSize = 1024;
    uint8_t replicatedLength = 8; // of the first payload of every object
    uint8_t videoStream = 0x01;   // key frames are sent as 0x81 | this
};
Bytes AsfHead(const Mpeg4Clip& clip, const AsfOptions& options);
// The packets of one media object (a picture when video, else raw bytes on stream 2).
// `announced` replaces the object size the first payload announces (negative: the truth).
std::vector<Bytes> AsfObject(const Bytes& object, uint32_t time, bool key,
                             const AsfOptions& options, long long announced = -1);

} // namespace kestrova::hostile

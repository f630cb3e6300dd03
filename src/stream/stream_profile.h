#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrova::stream {

// What differs between the viewer's engine and the motion-control engine. The engine
// code is shared; only these values decide.
struct StreamProfile {
    bool audio = true;                // audio object exists and is opened from the stream
    std::size_t mjpegVideoLimit = 10; // a complete MJPEG frame is dropped at this count or more
    std::size_t mjpegAudioLimit = 5;  // MJPEG audio is queued only below this count
    std::size_t asfAudioKeep = 3;     // ASF audio queue never holds more than this
    int asfVideoFactor = 2;           // ASF video limit = factor x pacing value
    int pacingNarrow = 36;            // pacing after the first picture, width <= 400
    int pacingWide = 12;              // pacing after the first picture, wider
    int narrowWidth = 400;
    bool mjpegRefusalCheck = true; // look for the 503/401 pages in the first MJPEG chunk
    bool postReadyMessages = true; // display paths post WM_VIDEO_READY
    bool motionLevels = false;     // take the four area levels from ASF packet padding
    const char* packetReadError = "data reading error.";
    int drawEvery = 1; // MPEG-4 path draws the first picture and every n-th
    // MPEG-4 path buffers: 0 sizes them from StartVideo's picture (input w x h bytes,
    // pictures up to w x h); otherwise the fixed capacities below.
    std::size_t mpeg4InputCapacity = 0;
    int maxPictureWidth = 0;
    int maxPictureHeight = 0;

    static StreamProfile Viewer() { return {}; }
    static StreamProfile Motion() {
        StreamProfile p;
        p.audio = false;
        p.mjpegVideoLimit = 10; // "more than 9 queued" is the same bound
        p.pacingNarrow = 18;
        p.pacingWide = 6;
        p.mjpegRefusalCheck = false;
        p.postReadyMessages = false;
        p.motionLevels = true;
        p.packetReadError = "data reading error4.";
        p.drawEvery = 3;
        p.mpeg4InputCapacity = 307200;
        p.maxPictureWidth = 640;
        p.maxPictureHeight = 480;
        return p;
    }
};

} // namespace kestrova::stream

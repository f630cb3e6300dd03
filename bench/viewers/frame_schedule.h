// Which recorded chunk completes each video frame of a recording, found by running the
// engine's own parser over the recorded body; with a connection's chunk write times it
// gives the moment the camera finished sending each frame.
#pragma once

#include "viewers/replay_camera.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace kestrova::bench {

enum class StreamKind { Asf, Mjpeg };

class FrameSchedule {
public:
    FrameSchedule(const Recording& recording, StreamKind kind);

    std::size_t Frames() const { return chunkOf_.size(); }
    // Steady-clock time at which the connection wrote the frame's last byte; -1 when the
    // timestamp is unknown or that chunk was not sent.
    int64_t SentAt(uint32_t timestamp, const std::vector<int64_t>& sendTimes) const;
    // Timestamps of the frames whose last byte was written within [fromNs, toNs].
    std::vector<uint32_t> SentBetween(int64_t fromNs, int64_t toNs,
                                      const std::vector<int64_t>& sendTimes) const;

private:
    std::unordered_map<uint32_t, uint32_t> chunkOf_; // timestamp -> chunk index
};

} // namespace kestrova::bench

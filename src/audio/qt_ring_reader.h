#pragma once

#include "audio/looping_ring.h"

#include <QIODevice>
#include <algorithm>
#include <memory>

namespace kestrova::audio {

// The sink's own buffer for a looping buffer of `ringBytes`: half the ring, at least
// 1600 bytes (100 ms: a busy machine may keep the feed waiting that long without the
// sound running dry), at most 4096 (256 ms).
inline qsizetype SinkBufferBytes(std::size_t ringBytes) {
    const auto half = static_cast<qsizetype>(ringBytes / 2) & ~qsizetype{1};
    return std::clamp<qsizetype>(half, 1600, 4096);
}

// Most bytes one feed moves the play cursor: a quarter of the ring (half a half), so
// the cursor never runs past a half that is still to be refilled.
inline std::size_t FeedLimitBytes(std::size_t ringBytes) {
    return std::max<std::size_t>(2, (ringBytes / 4) & ~std::size_t{1});
}

// How often the sink is topped up: often enough that the feeds can move the cursor twice
// as fast as the sound plays (so a late feed is caught up at once), and no more often,
// so an idle sink costs few wake-ups: 10 ms for a ring of 1280 bytes, 20 ms from 2560 on.
inline int FeedIntervalMs(std::size_t ringBytes) {
    const auto limitMs =
        static_cast<int>(FeedLimitBytes(ringBytes) * 1000 / kOutputFormat.bytesPerSecond);
    return std::clamp(limitMs / 2, 5, 20);
}

// Reads the looping buffer as a stream: each read takes the bytes at the play cursor
// and moves it on. While the buffer is stopped it reads silence and the cursor stays
// where it is, so the sink it feeds never runs dry.
class RingReader final : public QIODevice {
public:
    // Opens itself unbuffered: a buffered device would read ahead and move the
    // cursor far beyond what the sink has taken.
    explicit RingReader(std::shared_ptr<LoopingRing> ring)
        : ring_(std::move(ring)), chunk_(SinkBufferBytes(ring_->Size())) {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return chunk_ + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxlen) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::shared_ptr<LoopingRing> ring_;
    qsizetype chunk_;
};

} // namespace kestrova::audio

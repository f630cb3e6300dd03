#pragma once

#include "audio/looping_ring.h"

#include <QIODevice>
#include <algorithm>
#include <memory>

namespace kestrova::audio {

// The sink's own buffer for a looping buffer of `ringBytes`. The sink moves the
// play cursor in pulls of up to this size, so it is kept to a quarter of the
// ring: a pull never carries the cursor past a half that is still to be
// refilled. At most 2048 bytes (about 64 ms), at least 256 (16 ms).
inline qsizetype SinkBufferBytes(std::size_t ringBytes) {
    const auto quarter = static_cast<qsizetype>(ringBytes / 4) & ~qsizetype{1};
    return std::clamp<qsizetype>(quarter, 256, 2048);
}

// Hands the looping buffer to a QAudioSink in pull mode: each read takes the
// bytes at the play cursor and moves it on. While the buffer is stopped the
// sink gets silence and the cursor stays where it is, so the sink never runs dry.
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

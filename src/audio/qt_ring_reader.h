#pragma once

#include "audio/looping_ring.h"

#include <QIODevice>
#include <memory>

namespace kestrova::audio {

// The sink's own buffer: small, so the cursor that the sink moves stays close
// to what is heard (about 64 ms).
inline constexpr qsizetype kSinkBufferBytes = 2048;

// Hands the looping buffer to a QAudioSink in pull mode: each read takes the
// bytes at the play cursor and moves it on. While the buffer is stopped the
// sink gets silence and the cursor stays where it is, so the sink never runs dry.
class RingReader final : public QIODevice {
public:
    // Opens itself unbuffered: a buffered device would read ahead and move the
    // cursor far beyond what the sink has taken.
    explicit RingReader(std::shared_ptr<LoopingRing> ring) : ring_(std::move(ring)) {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override {
        return kSinkBufferBytes + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char* data, qint64 maxlen) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::shared_ptr<LoopingRing> ring_;
};

} // namespace kestrova::audio

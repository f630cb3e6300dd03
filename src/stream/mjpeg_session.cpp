#include "stream/mjpeg_session.h"

#include "stream/player_exception.h"

#include <new>

namespace kestrova::stream {

CMJpegSession::CMJpegSession(StreamWindow& window, const StreamProfile& profile)
    : CStreamSession(&window, profile),
      parser_(profile_, window.VideoQueue(), window.AudioQueue(), *this) {}

CMJpegSession::~CMJpegSession() {
    // The thread uses the parser: it ends before the parser goes.
    StopAndJoin();
}

int CMJpegSession::Run() {
    try {
        parser_.Reset();
        ClearQueues();
        switch (Connect(/*httpOnly=*/true)) {
        case Connected::Stopped:
            StopSequence();
            return kStopped;
        case Connected::Failed:
            throw CMJpegPlayerException("Connect error", kConnectError);
        case Connected::Open:
            break;
        }
        StartReader(kChunkSize);
        SleepMs(timings_.readerSettle);
        receive_.reserve(kChunkSize);
        // The first chunk is read whole: the refusal pages are looked for in it. Later
        // chunks hand over what has arrived, so a frame's tail is not held back until the
        // next frame comes.
        RequestRead(kChunkSize);
        while (!IsStopRequested()) {
            std::span<const uint8_t> chunk;
            const Wait wait = WaitData(chunk);
            if (wait == Wait::Stopped)
                break;
            if (wait == Wait::TimedOut || chunk.empty())
                throw CMJpegPlayerException("Data Reading Error", kReadError);
            // The reader reads on while this chunk is parsed.
            receive_.assign(chunk.begin(), chunk.end());
            RequestRead(kChunkSize, /*some=*/true);
            if (const int code = parser_.ParseChunk(receive_)) {
                lastError_ = parser_.LastError() + " " + url_;
                StopSequence();
                return code;
            }
        }
        StopSequence();
        return kStopped;
    } catch (const CMJpegPlayerException& e) {
        lastError_ = e.what();
        StopSequence();
        return e.Code();
    } catch (const std::exception& e) {
        lastError_ = std::string("My InetRead Error: ") + e.what();
        StopSequence();
        return kOtherError;
    }
}

void CMJpegSession::StopSequence() {
    StopReader();
    CloseSource();
    LetDisplayShowQueued();
    StopConsumers();
    SleepMs(timings_.stopPause);
    ReleaseQueuedFrames();
    CloseAudio();
    ClearQueues();
    parser_.ReleaseBuffers();
}

void CMJpegSession::StartVideo(int width, int height) {
    StartDisplay(width, height, {});
}

bool CMJpegSession::OpenAudio(int formatCode, uint32_t frameSize) {
    return StartAudio(formatCode, frameSize);
}

} // namespace kestrova::stream

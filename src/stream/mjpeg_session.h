#pragma once

#include "stream/mjpeg_parser.h"
#include "stream/stream_session.h"

#include <vector>

namespace kestrova::stream {

// Receives the camera's Motion-JPEG record stream and queues its frames.
class CMJpegSession : public CStreamSession, private MJpegParserHost {
public:
    static constexpr std::size_t kChunkSize = 2048;

    explicit CMJpegSession(StreamWindow& window,
                           const StreamProfile& profile = StreamProfile::Viewer());
    ~CMJpegSession() override;

    const CMJpegParser& Parser() const { return parser_; }
    // The diagnostic line of the last failure (never shown or logged by the engine).
    const std::string& LastError() const { return lastError_; }

protected:
    int Run() override;
    std::string EndText() const override { return lastError_; }

private:
    void StopSequence();
    void StartVideo(int width, int height) override;
    bool OpenAudio(int formatCode, uint32_t frameSize) override;

    CMJpegParser parser_;
    std::vector<uint8_t> receive_;
    std::string lastError_;
};

} // namespace kestrova::stream

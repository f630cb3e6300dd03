#pragma once

#include "stream/asf_parser.h"
#include "stream/record_file.h"
#include "stream/stream_session.h"

#include <array>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrova::stream {

// Receives the camera's ASF stream (MPEG-4 video, G.726 audio), queues its frames and,
// when asked, writes every received byte to a record file.
class CAsfSession : public CStreamSession, private AsfParserHost {
public:
    using MotionLevelsCallback = std::function<void(const std::array<uint8_t, 4>&)>;

    explicit CAsfSession(StreamWindow& window,
                         const StreamProfile& profile = StreamProfile::Viewer());
    ~CAsfSession() override;

    // Called by the owner while the session is finished.
    void SetRecord(bool record, const std::string& fileName);
    void SetMotionLevelsCallback(MotionLevelsCallback callback) {
        motionLevels_ = std::move(callback);
    }

    const CAsfParser& Parser() const { return parser_; }
    const std::string& LastError() const { return lastError_; }

protected:
    int Run() override;
    std::string EndText() const override { return lastError_; }

private:
    int Play();
    std::span<const uint8_t> ReadExactly(std::size_t count, const char* failText, bool& stopped);
    void Record(std::span<const uint8_t> bytes);
    void StopSequence();

    bool StartVideo(int width, int height, std::span<const uint8_t> config) override;
    bool OpenAudio(int formatCode, uint32_t frameSize) override;
    int PacingValue() const override;
    void MotionLevels(const std::array<uint8_t, 4>& levels) override;

    CAsfParser parser_;
    bool record_ = false;
    std::string recordName_;
    RecordFile recordFile_;
    std::vector<uint8_t> packet_;
    MotionLevelsCallback motionLevels_;
    std::string lastError_;
};

} // namespace kestrova::stream

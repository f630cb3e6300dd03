#include "stream/asf_session.h"

#include "stream/player_exception.h"

#include <cstring>
#include <new>

namespace kestrova::stream {

CAsfSession::CAsfSession(StreamWindow& window, const StreamProfile& profile)
    : CStreamSession(&window, profile),
      parser_(profile_, window.VideoQueue(), window.AudioQueue(), *this) {}

CAsfSession::~CAsfSession() {
    // The thread uses the parser and the record file: it ends before they go.
    StopAndJoin();
}

void CAsfSession::SetRecord(bool record, const std::string& fileName) {
    record_ = record;
    recordName_ = fileName;
}

int CAsfSession::Run() {
    try {
        return Play();
    } catch (const CPlayerException& e) {
        lastError_ = std::string(e.what()) + " " + url_;
        StopSequence();
        return e.Code();
    } catch (const CRecordFileException& e) {
        lastError_ = e.what();
        StopSequence();
        return kFileError;
    } catch (const std::bad_alloc&) {
        lastError_ = "out of memory";
        StopSequence();
        return kOutOfMemory;
    } catch (const std::exception& e) {
        lastError_ = e.what();
        StopSequence();
        return kOtherError;
    }
}

int CAsfSession::Play() {
    parser_.Reset();
    ClearQueues();
    switch (Connect()) {
    case Connected::Stopped:
        StopSequence();
        return kStopped;
    case Connected::Failed:
        throw CPlayerException("Connect error", kConnectError);
    case Connected::Open:
        break;
    }
    if (record_) {
        recordFile_ = CreateRecordFile(recordName_);
        if (!recordFile_)
            throw CRecordFileException("cannot create the record file " + recordName_);
    }
    StartReader(CAsfParser::kMaxPacketSize);
    SleepMs(timings_.readerSettle);

    // Headers: one block at a time, each exactly as long as the parser asks for.
    bool stopped = false;
    while (parser_.CurrentStage() != CAsfParser::Stage::Packets) {
        const std::size_t wanted = parser_.Wanted();
        std::span<const uint8_t> block;
        if (wanted > 0) {
            RequestRead(wanted);
            block = ReadExactly(wanted, "data reading error.", stopped);
            if (stopped)
                break;
        }
        if (const int code = parser_.Feed(block))
            throw CPlayerException(parser_.LastError(), code);
    }

    // Packets: the reader reads on while this one is parsed.
    const std::size_t packetSize = parser_.PacketSize();
    if (!stopped)
        RequestRead(packetSize);
    while (!stopped && !IsStopRequested()) {
        auto bytes = ReadExactly(packetSize, profile_.packetReadError, stopped);
        if (stopped)
            break;
        packet_.assign(bytes.begin(), bytes.end());
        RequestRead(packetSize);
        if (const int code = parser_.Feed(packet_))
            throw CPlayerException(parser_.LastError(), code);
    }
    StopSequence();
    return kStopped;
}

std::span<const uint8_t> CAsfSession::ReadExactly(std::size_t count, const char* failText,
                                                  bool& stopped) {
    std::span<const uint8_t> data;
    const Wait wait = WaitData(data);
    if (wait == Wait::Stopped) {
        stopped = true;
        return {};
    }
    if (wait == Wait::TimedOut)
        throw CPlayerException(failText, kReadError);
    // Every byte that arrived goes to the record file, a short last read included.
    Record(data);
    if (data.size() != count)
        throw CPlayerException(failText, kReadError);
    return data;
}

void CAsfSession::Record(std::span<const uint8_t> bytes) {
    if (!recordFile_ || bytes.empty())
        return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), recordFile_.get()) != bytes.size())
        throw CRecordFileException("cannot write the record file " + recordName_);
}

void CAsfSession::StopSequence() {
    StopReader();
    CloseSource();
    if (recordFile_) {
        std::fflush(recordFile_.get());
        recordFile_.reset();
    }
    LetDisplayShowQueued();
    StopConsumers();
    SleepMs(timings_.stopPause);
    ReleaseQueuedFrames();
    if (display_ && display_->DecoderOpen())
        display_->CloseDecoder();
    CloseAudio();
    ClearQueues();
    parser_.ReleaseBuffers();
}

bool CAsfSession::StartVideo(int width, int height, std::span<const uint8_t> config) {
    return StartDisplay(width, height, config);
}

bool CAsfSession::OpenAudio(int formatCode, uint32_t frameSize) {
    return StartAudio(formatCode, frameSize);
}

int CAsfSession::PacingValue() const {
    return Window() ? Window()->PacingValue() : kInitialPacing;
}

void CAsfSession::MotionLevels(const std::array<uint8_t, 4>& levels) {
    if (motionLevels_)
        motionLevels_(levels);
}

} // namespace kestrova::stream

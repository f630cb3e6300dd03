#pragma once

#include "stream/consumers.h"
#include "stream/engine_timings.h"
#include "stream/stream_profile.h"
#include "stream/stream_source.h"
#include "stream/stream_thread.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace kestrova::stream {

// What both sessions share: the target, the connect attempt, the reads, and the stop of
// the consumers and queues. A source that bounds its reads by a deadline (the camera's
// HTTP connection) is read on the session thread itself: the bytes come straight from the
// connection with no hand-over between threads, and a stop request aborts the read. Any
// other source gets a read-ahead reader thread, which reads whatever has arrived into a
// ring of its own while there is room; the session takes each block from the ring. Every
// wait of the session thread on another thread (connect, reader data, reader end) blocks
// on one condition that the connect attempt, the reader and a stop request signal.
class CStreamSession : public CStreamThread {
public:
    CStreamSession(StreamWindow* window, const StreamProfile& profile);
    ~CStreamSession() override;

    // Called by the owner while the session is finished.
    void SetTarget(const std::string& url, const std::string& user, const std::string& password);
    void SetDisplay(IVideoPath* display) { display_ = display; }
    void SetAudio(IAudioOutput* audio) { audio_ = audio; }
    void SetTimings(const EngineTimings& timings) { timings_ = timings; }
    void SetSourceFactory(StreamSourceFactory factory) { sourceFactory_ = std::move(factory); }
    const EngineTimings& Timings() const { return timings_; }
    const StreamProfile& Profile() const { return profile_; }
    // Stream bytes received by every play of this session so far (for the host's bit rate).
    uint64_t BytesReceived() const { return bytesReceived_.load(); }

protected:
    enum class Connected { Open, Failed, Stopped };
    enum class Wait { Data, TimedOut, Stopped };

    // Opens the target on a connect attempt of its own, bounded by the connect time-out.
    // An attempt still running then is aborted and abandoned. `httpOnly`: a target whose
    // scheme is not HTTP fails at once.
    Connected Connect(bool httpOnly = false);
    void StartReader(std::size_t capacity);
    // Says what the next WaitData takes: `count` bytes (at most the capacity given to
    // StartReader), or with `some` what has arrived of them (at least one byte).
    void RequestRead(std::size_t count, bool some = false);
    // Waits for the bytes asked for; fewer only when the stream ended or failed. `data`
    // then views them until the next WaitData.
    Wait WaitData(std::span<const uint8_t>& data);
    // Wakes the session thread's waits so they look at the stop request, and aborts a read
    // the session thread makes itself.
    void OnStopRequested() override;

    // Stop-sequence steps; each tolerates running twice.
    // A stream that ended by itself (the camera hung up, a read failed) leaves the display
    // path up to the stop pause to show the pictures already queued, instead of dropping
    // them: a camera that sends a few frames and hangs up is still seen. A stop asked for
    // does not wait.
    void LetDisplayShowQueued();
    void StopReader();
    void CloseSource();
    void StopConsumers();
    void ReleaseQueuedFrames();
    void CloseAudio();

    // Called from the parsers: start the display path / the audio object.
    bool StartDisplay(int width, int height, std::span<const uint8_t> config);
    bool StartAudio(int formatCode, uint32_t frameSize);
    void ClearQueues();

    StreamProfile profile_;
    EngineTimings timings_;
    std::string url_, user_, password_;
    IVideoPath* display_ = nullptr;
    IAudioOutput* audio_ = nullptr;

private:
    struct Signal;
    struct ReaderState;
    static void ReaderLoop(std::shared_ptr<ReaderState> state);
    Wait WaitDataDirect(std::span<const uint8_t>& data);

    StreamSourceFactory sourceFactory_;
    std::shared_ptr<StreamSource> source_;
    // Shared with the connect attempt and the reader, which may outlive the session.
    std::shared_ptr<Signal> signal_;
    std::shared_ptr<ReaderState> reader_;
    std::thread readerThread_;
    // The source the session thread reads itself (no reader thread); set and cleared by the
    // session thread under the signal's mutex, which a stop request takes to abort it.
    std::shared_ptr<StreamSource> direct_;
    std::size_t wanted_ = 0; // what the next direct read takes, as RequestRead said
    bool some_ = false;
    std::vector<uint8_t> block_; // the bytes WaitData handed over last
    std::atomic<uint64_t> bytesReceived_{0};
};

} // namespace kestrova::stream

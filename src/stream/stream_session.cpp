#include "stream/stream_session.h"

#include <algorithm>
#include <cctype>
#include <chrono>

namespace kestrova::stream {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Shared by the session and its reader thread; the reader keeps it alive, so a reader
// left behind by the stop sequence never writes into released memory.
struct CStreamSession::ReaderState {
    std::shared_ptr<StreamSource> source;
    AutoResetEvent dataReady;
    AutoResetEvent readRequest;
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    std::vector<uint8_t> buffer;
    // Written by the session before it signals read-request, read by the reader after.
    std::size_t wanted = 0;
    bool some = false;
    // Written by the reader before it signals data-ready.
    std::size_t delivered = 0;
};

namespace {

// The connect attempt's own state, kept alive by the attempt while it runs.
struct ConnectState {
    std::shared_ptr<StreamSource> source;
    std::atomic<bool> done{false};
    std::atomic<bool> open{false};
};

// Waits are cut into slices so a stop request is noticed while waiting.
constexpr milliseconds kWaitSlice{10};

} // namespace

CStreamSession::CStreamSession(StreamWindow* window, const StreamProfile& profile)
    : CStreamThread(window), profile_(profile), sourceFactory_(MakeHttpStreamSource) {}

CStreamSession::~CStreamSession() {
    // The thread must end before the members it uses go; derived classes stop it too.
    StopThread(timings_.sessionStop);
    StopReader();
    CloseSource();
}

void CStreamSession::SetTarget(const std::string& url, const std::string& user,
                               const std::string& password) {
    url_ = url;
    user_ = user;
    password_ = password;
}

CStreamSession::Connected CStreamSession::Connect(bool httpOnly) {
    if (httpOnly) {
        std::string scheme = url_.substr(0, std::min<std::size_t>(url_.size(), 7));
        std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (scheme != "http://")
            return Connected::Failed;
    }
    auto state = std::make_shared<ConnectState>();
    state->source = sourceFactory_();
    if (!state->source)
        return Connected::Failed;
    try {
        std::thread([state, url = url_, user = user_, password = password_] {
            state->open = state->source->Open(url, user, password);
            state->done = true;
        }).detach();
    } catch (const std::system_error&) {
        return Connected::Failed;
    }
    const auto deadline =
        Clock::now() + milliseconds(timings_.connectSettle) + milliseconds(timings_.connectTimeout);
    while (!state->done) {
        if (IsStopRequested() || Clock::now() >= deadline) {
            // Abandoned, not killed: the attempt owns what it uses and ends on the abort.
            state->source->Abort();
            return IsStopRequested() ? Connected::Stopped : Connected::Failed;
        }
        std::this_thread::sleep_for(milliseconds(timings_.poll));
    }
    if (!state->open) {
        state->source->Close();
        return Connected::Failed;
    }
    source_ = state->source;
    return Connected::Open;
}

void CStreamSession::ReaderLoop(std::shared_ptr<ReaderState> st) {
    while (!st->stop) {
        st->readRequest.WaitForever();
        if (st->stop)
            break;
        std::span<uint8_t> into(st->buffer.data(), st->wanted);
        const long n = st->some ? st->source->ReadSome(into) : st->source->Read(into);
        // A failed read hands over nothing; the session then ends with a read error at
        // once instead of waiting out its read time-out.
        st->delivered = n > 0 ? static_cast<std::size_t>(n) : 0;
        st->dataReady.Set();
        if (n <= 0)
            break;
    }
    st->done = true;
}

void CStreamSession::StartReader(std::size_t capacity) {
    StopReader();
    reader_ = std::make_shared<ReaderState>();
    reader_->source = source_;
    reader_->buffer.resize(capacity);
    readerThread_ = std::thread(ReaderLoop, reader_);
}

void CStreamSession::RequestRead(std::size_t count, bool some) {
    reader_->wanted = std::min(count, reader_->buffer.size());
    reader_->some = some;
    reader_->readRequest.Set();
}

CStreamSession::Wait CStreamSession::WaitData(std::span<const uint8_t>& data) {
    const auto deadline = Clock::now() + milliseconds(timings_.readTimeout);
    for (;;) {
        if (IsStopRequested())
            return Wait::Stopped;
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return Wait::TimedOut;
        if (reader_->dataReady.Wait(static_cast<uint32_t>(std::min(left, kWaitSlice).count()))) {
            data = std::span<const uint8_t>(reader_->buffer.data(), reader_->delivered);
            bytesReceived_.fetch_add(reader_->delivered, std::memory_order_relaxed);
            return Wait::Data;
        }
    }
}

void CStreamSession::StopReader() {
    if (reader_) {
        reader_->stop = true;
        reader_->readRequest.Set();
        if (reader_->source)
            reader_->source->Abort(); // a read blocked in the reader returns
    }
    if (readerThread_.joinable()) {
        const auto deadline = Clock::now() + milliseconds(timings_.readerJoin);
        while (!reader_->done && Clock::now() < deadline)
            std::this_thread::sleep_for(milliseconds(timings_.poll));
        if (reader_->done)
            readerThread_.join();
        else
            readerThread_.detach(); // it holds its own state and ends on the abort
    }
    reader_.reset();
}

void CStreamSession::CloseSource() {
    if (source_) {
        source_->Abort();
        source_->Close();
        source_.reset();
    }
}

void CStreamSession::StopConsumers() {
    if (display_)
        display_->StopThread(timings_.consumerStop);
    if (audio_)
        audio_->StopThread(timings_.consumerStop);
}

void CStreamSession::ReleaseQueuedFrames() {
    if (!Window())
        return;
    for (auto* queue : {&Window()->AudioQueue(), &Window()->VideoQueue()}) {
        for (std::size_t n = queue->Count(); n > 0; --n)
            queue->Pop();
    }
}

void CStreamSession::CloseAudio() {
    if (audio_ && audio_->IsOpen())
        audio_->Close();
}

void CStreamSession::ClearQueues() {
    if (Window()) {
        Window()->VideoQueue().Clear();
        Window()->AudioQueue().Clear();
    }
}

bool CStreamSession::StartDisplay(int width, int height, std::span<const uint8_t> config) {
    if (!display_)
        return false;
    if (!display_->StartVideo(width, height, config)) {
        // The play goes on (sound, motion levels) without a picture; say why it stays blank.
        if (Window() &&
            (width <= 0 || height <= 0 || width > kMaxPictureWidth || height > kMaxPictureHeight))
            Window()->StreamDiagnostic(0, "The camera's picture size " + std::to_string(width) +
                                              " x " + std::to_string(height) +
                                              " cannot be shown; the display takes at most " +
                                              std::to_string(kMaxPictureWidth) + " x " +
                                              std::to_string(kMaxPictureHeight) + ".");
        return false;
    }
    return display_->StartThread();
}

bool CStreamSession::StartAudio(int formatCode, uint32_t frameSize) {
    if (!profile_.audio || !audio_ || !audio_->Open(formatCode, frameSize))
        return false;
    audio_->StartThread();
    return true;
}

} // namespace kestrova::stream

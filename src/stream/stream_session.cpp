#include "stream/stream_session.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kestrova::stream {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The condition every wait of the session thread blocks on; its mutex guards the state
// of the connect attempt and of the reader below.
struct CStreamSession::Signal {
    std::mutex mutex;
    std::condition_variable changed;

    void Notify() {
        { std::lock_guard lock(mutex); }
        changed.notify_all();
    }
};

// Shared by the session and its reader thread; the reader keeps it alive, so a reader
// left behind by the stop sequence never writes into released memory. Everything but
// the ring's free bytes (which only the reader writes, outside the lock) is guarded by
// the signal's mutex.
struct CStreamSession::ReaderState {
    std::shared_ptr<StreamSource> source;
    std::shared_ptr<Signal> signal;
    std::condition_variable room; // the reader waits here while the ring is full
    std::vector<uint8_t> ring;
    std::size_t head = 0;  // first byte not yet taken by the session
    std::size_t count = 0; // bytes held from head on (wrapping)
    bool stop = false;     // the reader-stop flag
    bool ended = false;    // the stream ended or failed: nothing more comes
    bool done = false;     // the reader thread has finished
    // What the session's next WaitData takes.
    std::size_t wanted = 0;
    bool some = false;

    bool Ready() const { return count >= wanted || (some && count > 0) || ended; }
};

namespace {

// The connect attempt's own state, kept alive by the attempt while it runs; guarded by
// the signal's mutex.
struct ConnectState {
    std::shared_ptr<StreamSource> source;
    bool done = false;
    bool open = false;
};

// The reader's ring: whatever has arrived is read into it in one go, so a camera that
// sends a picture's packets together hands them all over with one wake-up.
constexpr std::size_t kReadAhead = 64 * 1024;

} // namespace

CStreamSession::CStreamSession(StreamWindow* window, const StreamProfile& profile)
    : CStreamThread(window), profile_(profile), sourceFactory_(MakeHttpStreamSource),
      signal_(std::make_shared<Signal>()) {}

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

void CStreamSession::OnStopRequested() {
    std::shared_ptr<StreamSource> direct;
    {
        std::lock_guard lock(signal_->mutex);
        direct = direct_;
    }
    if (direct)
        direct->Abort();
    signal_->Notify();
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
        std::thread([state, signal = signal_, url = url_, user = user_, password = password_] {
            const bool open = state->source->Open(url, user, password);
            {
                std::lock_guard lock(signal->mutex);
                state->open = open;
                state->done = true;
            }
            signal->changed.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return Connected::Failed;
    }
    const auto deadline =
        Clock::now() + milliseconds(timings_.connectSettle) + milliseconds(timings_.connectTimeout);
    bool open = false;
    {
        std::unique_lock lock(signal_->mutex);
        signal_->changed.wait_until(lock, deadline,
                                    [&] { return state->done || IsStopRequested(); });
        if (!state->done) {
            lock.unlock();
            // Abandoned, not killed: the attempt owns what it uses and ends on the abort.
            state->source->Abort();
            return IsStopRequested() ? Connected::Stopped : Connected::Failed;
        }
        open = state->open;
    }
    if (!open) {
        state->source->Close();
        return Connected::Failed;
    }
    source_ = state->source;
    return Connected::Open;
}

void CStreamSession::ReaderLoop(std::shared_ptr<ReaderState> st) {
    Signal& signal = *st->signal;
    const std::size_t size = st->ring.size();
    std::unique_lock lock(signal.mutex);
    while (!st->stop) {
        if (st->count == size) {
            st->room.wait(lock, [&] { return st->stop || st->count < size; });
            continue;
        }
        // The free bytes up to the ring's end: the session never touches them.
        const std::size_t tail = (st->head + st->count) % size;
        const std::size_t free = std::min(size - st->count, size - tail);
        lock.unlock();
        const long n = st->source->ReadSome(std::span<uint8_t>(st->ring.data() + tail, free));
        lock.lock();
        if (n <= 0) {
            // The end or a failure: the session gets what is held, then a short or empty
            // block, and ends with a read error at once instead of waiting out its time-out.
            st->ended = true;
            break;
        }
        st->count += static_cast<std::size_t>(n);
        if (st->Ready()) {
            // Woken outside the lock, so the session does not block on it at once.
            lock.unlock();
            signal.changed.notify_all();
            lock.lock();
        }
    }
    st->done = true;
    lock.unlock();
    signal.changed.notify_all();
}

void CStreamSession::StartReader(std::size_t capacity) {
    StopReader();
    block_.resize(capacity);
    if (source_ && source_->ReadsWithDeadline()) {
        std::lock_guard lock(signal_->mutex);
        direct_ = source_;
        return;
    }
    reader_ = std::make_shared<ReaderState>();
    reader_->source = source_;
    reader_->signal = signal_;
    reader_->ring.resize(std::max(capacity, kReadAhead));
    readerThread_ = std::thread(ReaderLoop, reader_);
}

void CStreamSession::RequestRead(std::size_t count, bool some) {
    wanted_ = std::min(count, block_.size());
    some_ = some;
    if (reader_) {
        std::lock_guard lock(signal_->mutex);
        reader_->wanted = wanted_;
        reader_->some = some;
    }
}

CStreamSession::Wait CStreamSession::WaitDataDirect(std::span<const uint8_t>& data) {
    const auto deadline = Clock::now() + milliseconds(timings_.readTimeout);
    std::size_t have = 0;
    while (have < wanted_ && !(some_ && have > 0)) {
        if (IsStopRequested())
            return Wait::Stopped;
        const long n = direct_->ReadSomeUntil(
            std::span<uint8_t>(block_.data() + have, wanted_ - have), deadline);
        if (IsStopRequested())
            return Wait::Stopped;
        if (n == StreamSource::kReadTimedOut)
            return Wait::TimedOut;
        if (n <= 0)
            break; // the end or a failure: a short (or empty) block, then a read error
        have += static_cast<std::size_t>(n);
    }
    if (IsStopRequested())
        return Wait::Stopped;
    data = std::span<const uint8_t>(block_.data(), have);
    bytesReceived_.fetch_add(have, std::memory_order_relaxed);
    return Wait::Data;
}

CStreamSession::Wait CStreamSession::WaitData(std::span<const uint8_t>& data) {
    if (direct_)
        return WaitDataDirect(data);
    const auto deadline = Clock::now() + milliseconds(timings_.readTimeout);
    ReaderState& r = *reader_;
    std::unique_lock lock(signal_->mutex);
    const bool ready =
        signal_->changed.wait_until(lock, deadline, [&] { return IsStopRequested() || r.Ready(); });
    if (IsStopRequested())
        return Wait::Stopped;
    if (!ready)
        return Wait::TimedOut;
    const std::size_t size = r.ring.size();
    const std::size_t n = std::min(r.wanted, r.count);
    const std::size_t first = std::min(n, size - r.head);
    std::copy_n(r.ring.begin() + static_cast<std::ptrdiff_t>(r.head), first, block_.begin());
    std::copy_n(r.ring.begin(), n - first, block_.begin() + static_cast<std::ptrdiff_t>(first));
    const bool wasFull = r.count == size;
    r.head = (r.head + n) % size;
    r.count -= n;
    lock.unlock();
    if (wasFull && n > 0)
        r.room.notify_one();
    data = std::span<const uint8_t>(block_.data(), n);
    bytesReceived_.fetch_add(n, std::memory_order_relaxed);
    return Wait::Data;
}

void CStreamSession::StopReader() {
    if (direct_) {
        std::lock_guard lock(signal_->mutex);
        direct_.reset();
    }
    if (reader_) {
        {
            std::lock_guard lock(signal_->mutex);
            reader_->stop = true;
        }
        reader_->room.notify_all();
        if (reader_->source)
            reader_->source->Abort(); // a read blocked in the reader returns
    }
    if (readerThread_.joinable()) {
        bool done = false;
        {
            std::unique_lock lock(signal_->mutex);
            done =
                signal_->changed.wait_until(lock, Clock::now() + milliseconds(timings_.readerJoin),
                                            [this] { return reader_->done; });
        }
        if (done)
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

void CStreamSession::LetDisplayShowQueued() {
    if (display_ && Window() && !IsStopRequested())
        Window()->VideoQueue().WaitEmpty(milliseconds(timings_.stopPause));
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

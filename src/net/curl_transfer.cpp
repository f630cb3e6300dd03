#include "net/curl_transfer.h"

#include "net/curl_global.h"

#include <algorithm>
#include <curl/curl.h>

namespace kestrova::net {
namespace {

constexpr int kPollMs = 1000; // upper bound of one idle wait; wakeups end it early

CURL* Easy(void* p) {
    return static_cast<CURL*>(p);
}
CURLM* Multi(void* p) {
    return static_cast<CURLM*>(p);
}

} // namespace

CurlTransfer::CurlTransfer() {
    EnsureCurlInitialised();
    multi_ = curl_multi_init();
}

CurlTransfer::~CurlTransfer() {
    Finish();
    if (multi_)
        curl_multi_cleanup(Multi(multi_));
}

bool CurlTransfer::Start(const TransferSetup& setup) {
    Finish();
    auto fail = [this](const std::string& why) {
        ReleaseHandle();
        std::lock_guard lock(mutex_);
        errorText_ = why;
        result_ = CURLE_FAILED_INIT;
        return false;
    };
    if (abort_.load())
        return fail("aborted");
    if (!multi_)
        return fail("cannot create the transfer");
    CURL* easy = curl_easy_init();
    if (!easy)
        return fail("cannot create the transfer");
    easy_ = easy;
    errorBuffer_[0] = '\0';

    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer_);
    if (curl_easy_setopt(easy, CURLOPT_URL, setup.url.c_str()) != CURLE_OK)
        return fail("bad URL");
    // Camera URLs come from the hosting page: never let one read local files or the like.
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlTransfer::OnWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlTransfer::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &CurlTransfer::OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    if (!setup.agent.empty())
        curl_easy_setopt(easy, CURLOPT_USERAGENT, setup.agent.c_str());
    if (setup.sendCredentials) {
        // Separate options carry the names whole, whatever their length or characters.
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(easy, CURLOPT_USERNAME, setup.user.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, setup.password.c_str());
    }
    curl_slist* headers = nullptr;
    for (const std::string& line : setup.headers)
        headers = curl_slist_append(headers, line.c_str());
    if (setup.post)
        headers = curl_slist_append(headers, "Expect:"); // no 100-continue round trip
    headerList_ = headers;
    if (headers)
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    if (setup.post) {
        body_ = setup.body;
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body_.data());
    }
    if (curl_multi_add_handle(Multi(multi_), easy) != CURLM_OK)
        return fail("cannot start the transfer");

    {
        std::lock_guard lock(mutex_);
        phase_ = Phase::Running;
        responded_ = false;
        paused_ = false;
        caughtUp_ = false;
        refusedPiece_ = 0;
        buffer_.Reset(setup.bufferCapacity);
        result_ = 0;
        errorText_.clear();
        bytesReceived_ = 0;
    }
    stop_.store(false);
    return true;
}

void CurlTransfer::Drive(std::unique_lock<std::mutex>& lock, const Deadline& deadline) {
    if (driving_) {
        // Another thread runs the transfer: it signals whatever it brings or ends.
        if (!deadline)
            changed_.wait(lock);
        else
            changed_.wait_until(lock, *deadline);
        return;
    }
    driving_ = true;
    const bool resume = paused_ && buffer_.CanAccept(refusedPiece_);
    if (resume)
        paused_ = false;
    // After a round that ran curl to completion only the socket or curl's timers can bring
    // more, and the poll below wakes on both (curl shortens its wait itself when it stopped
    // reading with data still at hand). A first round, or one that unpauses, asks curl first.
    const bool askFirst = resume || !caughtUp_;
    const std::uint64_t before = bytesReceived_;
    const bool respondedBefore = responded_;
    lock.unlock();
    CURLM* multi = Multi(multi_);
    // Outside the lock: unpausing delivers the held piece through OnWrite at once.
    if (resume)
        curl_easy_pause(Easy(easy_), CURLPAUSE_CONT);
    bool failed = false, done = false;
    CURLcode result = CURLE_OK;
    auto perform = [&] {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            failed = true;
            return;
        }
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
            if (msg->msg == CURLMSG_DONE) {
                result = msg->data.result;
                done = true;
            }
        }
    };
    if (askFirst)
        perform();
    if (!failed && !done && !StopWanted()) {
        lock.lock();
        const bool brought =
            askFirst && (bytesReceived_ != before || responded_ != respondedBefore);
        lock.unlock();
        // Nothing new yet: sleep until the socket, curl's own timers, a wakeup or the
        // deadline, then take in what came.
        if (!brought) {
            int waitMs = kPollMs;
            if (deadline) {
                const auto left =
                    std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
                waitMs = static_cast<int>(std::clamp<long long>(left.count(), 0, kPollMs));
            }
            curl_multi_poll(multi, nullptr, 0, waitMs, nullptr);
            if (!StopWanted())
                perform();
        }
    }
    lock.lock();
    driving_ = false;
    caughtUp_ = !failed && !done;
    if (failed || done) {
        result_ = failed ? CURLE_FAILED_INIT : result;
        if (result_ != CURLE_OK)
            errorText_ = errorBuffer_[0] ? errorBuffer_ : curl_easy_strerror(CURLcode(result_));
        phase_ = Phase::Ended;
    }
    changed_.notify_all();
}

size_t CurlTransfer::OnWrite(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<CurlTransfer*>(self);
    const size_t n = size * count;
    if (t->StopWanted())
        return 0; // ends the transfer with a write error
    {
        std::lock_guard lock(t->mutex_);
        t->responded_ = true;
        if (!t->buffer_.CanAccept(n)) {
            t->paused_ = true;
            t->refusedPiece_ = n;
            return CURL_WRITEFUNC_PAUSE;
        }
        t->buffer_.Append({reinterpret_cast<const uint8_t*>(data), n});
        t->bytesReceived_ += n;
    }
    // The callback runs on the driving waiter; any other waiter is woken after the lock
    // is let go, so it does not block on it straight away.
    t->changed_.notify_all();
    return n;
}

size_t CurlTransfer::OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<CurlTransfer*>(self);
    const size_t n = size * count;
    const bool blankLine =
        (n == 2 && data[0] == '\r' && data[1] == '\n') || (n == 1 && data[0] == '\n');
    if (blankLine) {
        long code = 0;
        curl_easy_getinfo(Easy(t->easy_), CURLINFO_RESPONSE_CODE, &code);
        // An interim 1xx answer is followed by the real one.
        if (code >= 200 || code == 0) {
            std::lock_guard lock(t->mutex_);
            t->responded_ = true;
            t->changed_.notify_all();
        }
    }
    return n;
}

int CurlTransfer::OnProgress(void* self, long long, long long, long long, long long) {
    return static_cast<CurlTransfer*>(self)->StopWanted() ? 1 : 0;
}

WaitResult CurlTransfer::WaitForResponse(Deadline deadline) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (StopWanted())
            return WaitResult::Aborted;
        if (responded_)
            return WaitResult::Ready;
        if (phase_ != Phase::Running)
            return WaitResult::Failed;
        if (deadline && Clock::now() >= *deadline)
            return WaitResult::TimedOut;
        Drive(lock, deadline);
    }
}

long CurlTransfer::Read(std::span<uint8_t> out, bool returnEarly, Deadline deadline) {
    std::size_t got = 0;
    auto partial = [&got]() { return got > 0 ? static_cast<long>(got) : -1L; };
    std::unique_lock lock(mutex_);
    for (;;) {
        if (phase_ == Phase::Idle)
            return partial();
        const std::size_t took = buffer_.Take(out.subspan(got));
        got += took;
        if (got == out.size() || (returnEarly && got > 0))
            return static_cast<long>(got);
        if (StopWanted())
            return partial();
        if (phase_ == Phase::Ended)
            return got > 0 ? static_cast<long>(got) : (result_ == CURLE_OK ? 0L : -1L);
        if (deadline && Clock::now() >= *deadline)
            return got > 0 ? static_cast<long>(got) : kReadTimedOut;
        Drive(lock, deadline);
    }
}

void CurlTransfer::Abort() {
    abort_.store(true);
    {
        std::lock_guard lock(mutex_);
        changed_.notify_all();
    }
    if (multi_)
        curl_multi_wakeup(Multi(multi_));
}

void CurlTransfer::ClearAbort() {
    abort_.store(false);
}

void CurlTransfer::Finish() {
    {
        std::unique_lock lock(mutex_);
        const bool running = phase_ == Phase::Running;
        if (running) {
            // Whoever drives leaves the multi handle at once: its poll is woken and the
            // progress callback ends the transfer. No thread starts driving afterwards.
            stop_.store(true);
            if (multi_)
                curl_multi_wakeup(Multi(multi_));
        }
        changed_.wait(lock, [this] { return !driving_; });
        if (running) {
            result_ = CURLE_ABORTED_BY_CALLBACK;
            errorText_ = "aborted";
            phase_ = Phase::Ended;
        }
    }
    ReleaseHandle();
    std::lock_guard lock(mutex_);
    phase_ = Phase::Idle;
    buffer_.Reset(0);
    paused_ = false;
    responded_ = false;
    stop_.store(false);
    changed_.notify_all();
}

void CurlTransfer::ReleaseHandle() {
    if (easy_) {
        curl_multi_remove_handle(Multi(multi_), Easy(easy_));
        curl_easy_cleanup(Easy(easy_));
        easy_ = nullptr;
    }
    if (headerList_) {
        curl_slist_free_all(static_cast<curl_slist*>(headerList_));
        headerList_ = nullptr;
    }
    body_.clear();
}

int CurlTransfer::ErrorCode() const {
    std::lock_guard lock(mutex_);
    return result_;
}

std::string CurlTransfer::ErrorText() const {
    std::lock_guard lock(mutex_);
    return errorText_;
}

std::uint64_t CurlTransfer::BytesReceived() const {
    std::lock_guard lock(mutex_);
    return bytesReceived_;
}

std::size_t CurlTransfer::PeakBuffered() const {
    std::lock_guard lock(mutex_);
    return buffer_.Peak();
}

} // namespace kestrova::net

#pragma once

#include "net/receive_buffer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrova::net {

// What one HTTP transfer sends.
struct TransferSetup {
    std::string url;
    bool sendCredentials = false; // answer with HTTP Basic from user and password
    std::string user;
    std::string password;
    std::string agent;                // User-Agent; empty leaves it out
    std::vector<std::string> headers; // extra header lines, "Name: value"
    bool post = false;
    std::string body; // exact bytes of a POST body
    std::size_t bufferCapacity = 256 * 1024;
};

enum class WaitResult { Ready, Failed, Aborted, TimedOut };

// One HTTP transfer, driven by whichever thread waits on it: a thread that waits for the
// answer or for body bytes runs the curl multi handle itself (one such driver at a time;
// others wait for what it brings), so bytes reach the reader without a hand-over between
// threads. The body goes into a bounded receive buffer; when it is full the transfer
// pauses, and the next wait after a drain resumes it. While nobody waits, the connection
// rests and the network holds back the sender. Status codes and redirects are not acted
// on: any body is data.
//
// Threads: Start, Finish and the waits are for one owner thread at a time (the owner
// serialises Start and Finish); Read may block on another thread while Finish runs;
// Abort may come from any thread at any time.
class CurlTransfer {
public:
    using Clock = std::chrono::steady_clock;
    using Deadline = std::optional<Clock::time_point>;

    CurlTransfer();
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    // Starts the transfer. False when the handles could not be set up (ErrorText says why)
    // or an Abort() is in force.
    bool Start(const TransferSetup& setup);
    // Blocks until the response headers (or first body bytes) arrived, the transfer ended
    // without them, Abort(), or the deadline.
    WaitResult WaitForResponse(Deadline deadline);
    // Blocks until `out` is full, or (returnEarly) at least one byte was delivered, or the
    // body ended, failed, was aborted, or the deadline passed. Returns the count delivered;
    // 0 at a clean end of the body; kReadTimedOut when the deadline passed with nothing;
    // -1 when nothing was delivered for any other reason.
    static constexpr long kReadTimedOut = -2;
    long Read(std::span<uint8_t> out, bool returnEarly, Deadline deadline);

    // Any thread. Unblocks every wait; stays in force until ClearAbort().
    void Abort();
    void ClearAbort();

    // Ends a running transfer, waits for its driver to leave and releases the handle and the
    // buffered bytes. Safe to call when nothing runs.
    void Finish();

    // curl result of the ended transfer (0 while running or after a clean end).
    int ErrorCode() const;
    std::string ErrorText() const;
    std::uint64_t BytesReceived() const;
    std::size_t PeakBuffered() const;

private:
    enum class Phase { Idle, Running, Ended };

    static size_t OnWrite(char* data, size_t size, size_t count, void* self);
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static int OnProgress(void* self, long long, long long, long long, long long);
    // With mutex_ held through `lock`: one round of network work on this thread, at most
    // until the deadline, or (while another thread drives) a wait for what it brings.
    void Drive(std::unique_lock<std::mutex>& lock, const Deadline& deadline);
    bool StopWanted() const { return abort_.load() || stop_.load(); }
    void ReleaseHandle();

    void* multi_ = nullptr; // CURLM*, lives as long as this object so Abort can always wake it
    void* easy_ = nullptr;  // CURL*, one per Start
    void* headerList_ = nullptr;
    std::string body_;
    char errorBuffer_[256] = {};

    std::atomic<bool> abort_{false};
    std::atomic<bool> stop_{false};

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Phase phase_ = Phase::Idle;
    bool driving_ = false; // a thread is inside the multi handle
    bool responded_ = false;
    bool paused_ = false;
    // The last round of work ran curl until the socket had nothing more: the next round
    // can sleep on the socket straight away instead of asking curl first.
    bool caughtUp_ = false;
    std::size_t refusedPiece_ = 0; // size of the piece the transfer paused on
    ReceiveBuffer buffer_;
    int result_ = 0;
    std::string errorText_;
    std::uint64_t bytesReceived_ = 0;
};

} // namespace kestrova::net

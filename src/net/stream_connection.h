#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kestrova::net {

// A blocking "open / read up to n bytes / close" connection for one live stream.
// The transfer runs on a thread of its own and fills a bounded receive buffer; when
// the buffer is full the transfer pauses until the reader drains it, so a fast camera
// and a slow reader never grow memory. The HTTP status and redirects are not looked
// at: whatever body the camera sends (a 401 or 503 page included) is read as data.
// Open and Read block without a time-out of their own; the caller bounds them and
// calls Abort() (or Close()) from another thread to unblock them. Only http and https
// URLs are opened. Opening again while open closes the previous transfer first.
class StreamConnection {
public:
    // Receive buffer bound used unless SetBufferCapacity() chose another.
    static constexpr std::size_t kDefaultBufferCapacity = 256 * 1024;

    StreamConnection();
    ~StreamConnection(); // closes
    StreamConnection(const StreamConnection&) = delete;
    StreamConnection& operator=(const StreamConnection&) = delete;

    // Opens the URL with the user name and password (HTTP Basic when non-empty user) and blocks
    // until the response headers have arrived, the connection failed, or Abort(). True when a
    // response body can be read (whatever its HTTP status).
    bool Open(const std::string& url, const std::string& user, const std::string& password);
    // Blocks until `buffer.size()` bytes were read, the body ended, an error, or Abort().
    // Returns the count delivered (less than asked only at the end/error/abort), -1 on error
    // before any byte. 0 means the body ended cleanly.
    long Read(std::span<uint8_t> buffer);
    // Like Read, but returns as soon as at least one byte is available (what has arrived,
    // up to `buffer.size()`), so a frame's tail is not held back waiting for the next one.
    long ReadSome(std::span<uint8_t> buffer);
    // ReadSome that gives up at `deadline`: kReadTimedOut when nothing arrived by then.
    static constexpr long kReadTimedOut = -2;
    long ReadSomeUntil(std::span<uint8_t> buffer, std::chrono::steady_clock::time_point deadline);
    // Thread-safe; unblocks Open and Read. Stays in force until Close(): an Open that
    // starts after an Abort() fails at once.
    void Abort();
    // Ends the transfer and releases it. May run while another thread is blocked in Read or
    // Open: that call returns first (with what it had, or -1 / false).
    void Close();
    bool IsOpen() const;
    std::string LastError() const;

    // Bound of the receive buffer (bytes); takes effect at the next Open. The buffer may
    // hold one network piece beyond a bound smaller than that piece.
    void SetBufferCapacity(std::size_t bytes);
    // Bytes of body the transfer has taken from the network so far (this Open).
    std::uint64_t BytesReceived() const;
    // Highest fill the receive buffer reached (this Open); shows the bound holds.
    std::size_t PeakBuffered() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace kestrova::net

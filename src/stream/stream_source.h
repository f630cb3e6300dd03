#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace kestrova::stream {

// The blocking stream connection as a session uses it: open a URL with credentials, read,
// abort from another thread, close. Shared between the session and its connect attempt and
// reader thread, so an abandoned attempt never touches a released object.
class StreamSource {
public:
    virtual ~StreamSource() = default;
    // Blocks until a body can be read (true), the connection failed, or Abort().
    virtual bool Open(const std::string& url, const std::string& user,
                      const std::string& password) = 0;
    // Blocks until the whole buffer is filled; fewer bytes only at the end, on error or
    // after Abort(); -1 on an error before any byte.
    virtual long Read(std::span<uint8_t> buffer) = 0;
    // Returns as soon as at least one byte has arrived.
    virtual long ReadSome(std::span<uint8_t> buffer) = 0;
    // A source that can bound a read by a deadline says so here; the session then reads it
    // on its own thread with ReadSomeUntil, with no reader thread in between.
    virtual bool ReadsWithDeadline() const { return false; }
    // ReadSome that gives up at `deadline` with kReadTimedOut when nothing arrived by then.
    static constexpr long kReadTimedOut = -2;
    virtual long ReadSomeUntil(std::span<uint8_t> /*buffer*/,
                               std::chrono::steady_clock::time_point /*deadline*/) {
        return -1;
    }
    // Thread-safe; unblocks Open and the reads.
    virtual void Abort() = 0;
    virtual void Close() = 0;
};

using StreamSourceFactory = std::function<std::shared_ptr<StreamSource>()>;

// A source over the camera HTTP stream connection.
std::shared_ptr<StreamSource> MakeHttpStreamSource();

} // namespace kestrova::stream

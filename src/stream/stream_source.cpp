#include "stream/stream_source.h"

#include "net/stream_connection.h"

namespace kestrova::stream {

namespace {

class HttpStreamSource final : public StreamSource {
public:
    bool Open(const std::string& url, const std::string& user,
              const std::string& password) override {
        return connection_.Open(url, user, password);
    }
    long Read(std::span<uint8_t> buffer) override { return connection_.Read(buffer); }
    long ReadSome(std::span<uint8_t> buffer) override { return connection_.ReadSome(buffer); }
    bool ReadsWithDeadline() const override { return true; }
    long ReadSomeUntil(std::span<uint8_t> buffer,
                       std::chrono::steady_clock::time_point deadline) override {
        static_assert(kReadTimedOut == net::StreamConnection::kReadTimedOut);
        return connection_.ReadSomeUntil(buffer, deadline);
    }
    void Abort() override { connection_.Abort(); }
    void Close() override { connection_.Close(); }

private:
    net::StreamConnection connection_;
};

} // namespace

std::shared_ptr<StreamSource> MakeHttpStreamSource() {
    return std::make_shared<HttpStreamSource>();
}

} // namespace kestrova::stream

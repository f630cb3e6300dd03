#include "net/stream_connection.h"

#include "net/curl_transfer.h"

#include <atomic>
#include <mutex>

namespace kestrova::net {

struct StreamConnection::Impl {
    CurlTransfer transfer;
    std::mutex openClose; // Open and Close run one at a time; Read and Abort never take it
    std::atomic<bool> open{false};
    std::atomic<std::size_t> capacity{kDefaultBufferCapacity};
    mutable std::mutex errorMutex;
    std::string lastError;

    void SetError(std::string text) {
        std::lock_guard lock(errorMutex);
        lastError = std::move(text);
    }
};

StreamConnection::StreamConnection() : impl_(std::make_unique<Impl>()) {}

StreamConnection::~StreamConnection() {
    Close();
}

bool StreamConnection::Open(const std::string& url, const std::string& user,
                            const std::string& password) {
    std::lock_guard lock(impl_->openClose);
    impl_->open.store(false);
    impl_->transfer.Finish();
    impl_->SetError({});

    TransferSetup setup;
    setup.url = url;
    setup.sendCredentials = !user.empty();
    setup.user = user;
    setup.password = password;
    setup.bufferCapacity = impl_->capacity.load();
    if (!impl_->transfer.Start(setup)) {
        impl_->SetError(impl_->transfer.ErrorText());
        return false;
    }
    switch (impl_->transfer.WaitForResponse(std::nullopt)) {
    case WaitResult::Ready:
        impl_->open.store(true);
        return true;
    case WaitResult::Aborted:
        impl_->SetError("aborted");
        break;
    default:
        impl_->SetError(impl_->transfer.ErrorText());
        break;
    }
    impl_->transfer.Finish();
    return false;
}

long StreamConnection::Read(std::span<uint8_t> buffer) {
    if (!impl_->open.load())
        return -1;
    return impl_->transfer.Read(buffer, false, std::nullopt);
}

long StreamConnection::ReadSome(std::span<uint8_t> buffer) {
    if (!impl_->open.load())
        return -1;
    return impl_->transfer.Read(buffer, true, std::nullopt);
}

long StreamConnection::ReadSomeUntil(std::span<uint8_t> buffer,
                                     std::chrono::steady_clock::time_point deadline) {
    static_assert(kReadTimedOut == CurlTransfer::kReadTimedOut);
    if (!impl_->open.load())
        return -1;
    return impl_->transfer.Read(buffer, true, deadline);
}

void StreamConnection::Abort() {
    impl_->transfer.Abort();
}

void StreamConnection::Close() {
    // Unblock a Read or Open on another thread first; they then give way to the close.
    impl_->transfer.Abort();
    std::lock_guard lock(impl_->openClose);
    impl_->open.store(false);
    impl_->transfer.Finish();
    impl_->transfer.ClearAbort();
}

bool StreamConnection::IsOpen() const {
    return impl_->open.load();
}

std::string StreamConnection::LastError() const {
    {
        std::lock_guard lock(impl_->errorMutex);
        if (!impl_->lastError.empty())
            return impl_->lastError;
    }
    return impl_->transfer.ErrorText(); // a failure after Open, if any
}

void StreamConnection::SetBufferCapacity(std::size_t bytes) {
    impl_->capacity.store(bytes > 0 ? bytes : 1);
}

std::uint64_t StreamConnection::BytesReceived() const {
    return impl_->transfer.BytesReceived();
}

std::size_t StreamConnection::PeakBuffered() const {
    return impl_->transfer.PeakBuffered();
}

} // namespace kestrova::net

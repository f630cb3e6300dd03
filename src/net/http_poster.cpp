#include "net/http_poster.h"

#include <algorithm>
#include <curl/curl.h>
#include <thread>
#include <vector>

namespace kestrova::net {
namespace {

constexpr std::size_t kMinTransferBuffer = 256 * 1024;

} // namespace

CHttpPoster::CHttpPoster() : CHttpPoster(Options{}) {}

CHttpPoster::CHttpPoster(const Options& options) : options_(options) {
    options_.readPiece = std::max<std::size_t>(options_.readPiece, 1);
}

CHttpPoster::~CHttpPoster() = default;

TransferSetup CHttpPoster::MakeSetup(const std::string& url, const std::string& user,
                                     const std::string& password) const {
    TransferSetup setup;
    setup.url = url;
    setup.agent = std::string(kAgent);
    setup.sendCredentials = true;
    setup.user = user;
    setup.password = password.empty() ? std::string(kEmptyPassword) : password;
    setup.headers.emplace_back(kAcceptHeader);
    setup.bufferCapacity = std::max(kMinTransferBuffer, 2 * options_.readPiece);
    return setup;
}

CurlTransfer::Clock::time_point CHttpPoster::SendDeadline() const {
    const auto send = CurlTransfer::Clock::now() + options_.sendTimeout;
    return requestDeadline_ ? std::min(send, *requestDeadline_) : send;
}

bool CHttpPoster::Get(const std::string& url, const std::string& user,
                      const std::string& password) {
    transfer_.Finish();
    // A send that fails at once (no connection) is not looked at: it shows as an empty
    // answer. Only a send still unanswered after the time-out fails the GET.
    if (!internetOpen_ || !transfer_.Start(MakeSetup(url, user, password)))
        return true;
    std::this_thread::sleep_for(options_.sendSettle);
    const WaitResult result = transfer_.WaitForResponse(SendDeadline());
    if (result == WaitResult::TimedOut) {
        transfer_.Finish();
        lastError_ = CURLE_OPERATION_TIMEDOUT;
        return false;
    }
    return true;
}

bool CHttpPoster::Post(const std::string& url, std::string_view body, long bodyLength,
                       const std::string& user, const std::string& password) {
    const std::string_view bytes =
        bodyLength < 0
            ? body.substr(0, body.find('\0'))
            : body.substr(0, std::min(static_cast<std::size_t>(bodyLength), body.size()));
    transfer_.Finish();
    if (!internetOpen_) {
        lastError_ = CURLE_FAILED_INIT;
        return false;
    }
    TransferSetup setup = MakeSetup(url, user, password);
    setup.post = true;
    setup.body = std::string(bytes);
    setup.headers.emplace_back(kFormContentType);
    if (!transfer_.Start(setup)) {
        lastError_ = transfer_.ErrorCode();
        return false;
    }
    // The send is capped like a GET's, so a camera that never answers cannot hold the
    // caller's thread for ever.
    switch (transfer_.WaitForResponse(SendDeadline())) {
    case WaitResult::Ready:
        return true;
    case WaitResult::TimedOut:
        transfer_.Finish();
        lastError_ = CURLE_OPERATION_TIMEDOUT;
        return false;
    default:
        lastError_ = transfer_.ErrorCode() != 0 ? transfer_.ErrorCode() : CURLE_SEND_ERROR;
        return false;
    }
}

bool CHttpPoster::Request(std::string& answer, const std::string& url, bool post,
                          const std::string& user, const std::string& password,
                          std::string_view body, long bodyLength) {
    answer.clear();
    if (url.empty()) {
        lastError_ = kErrorNoUrl;
        return false;
    }
    requestDeadline_ = CurlTransfer::Clock::now() + options_.requestTimeout;
    if (!(post ? Post(url, body, bodyLength, user, password) : Get(url, user, password)))
        return false; // the handles stay to the destructor

    answer_.Reset({options_.initialBuffer, options_.growStep, options_.maxAnswer});
    std::vector<uint8_t> piece(options_.readPiece);
    bool ok = true;
    for (;;) {
        const auto idle = CurlTransfer::Clock::now() + options_.readIdleTimeout;
        const long n = transfer_.Read(piece, true, std::min(idle, *requestDeadline_));
        if (n == CurlTransfer::kReadTimedOut) {
            lastError_ = idle <= *requestDeadline_ ? kErrorStalled : kErrorTimedOut;
            ok = false;
            break;
        }
        // Bytes that keep trickling in do not extend the request past its deadline.
        if (n > 0 && CurlTransfer::Clock::now() >= *requestDeadline_) {
            lastError_ = kErrorTimedOut;
            ok = false;
            break;
        }
        if (n <= 0) // end of the answer, or a failed read: keep what arrived
            break;
        if (!answer_.Append(std::span(piece.data(), static_cast<std::size_t>(n)))) {
            lastError_ = kErrorAnswerTooLarge;
            ok = false;
            break;
        }
    }
    if (ok)
        answer = answer_.Text();
    CloseAll();
    return ok;
}

void CHttpPoster::CloseAll() {
    transfer_.Finish();
    internetOpen_ = false;
}

} // namespace kestrova::net

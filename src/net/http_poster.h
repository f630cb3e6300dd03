#pragma once

#include "net/answer_buffer.h"
#include "net/base64.h"
#include "net/curl_transfer.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestrova {
class FrameImage;
}

namespace kestrova::net {

// One short HTTP request to a camera CGI program: connect with the user's credentials,
// send a GET or a form POST, read the whole answer, close everything. One object serves
// one Request; build a new one for every request.
class CHttpPoster {
public:
    static constexpr std::string_view kAgent = "VuriveZuvoruR HTTP Poster 1.0";
    static constexpr std::string_view kAcceptHeader = "Accept: */*";
    static constexpr std::string_view kFormContentType =
        "Content-Type: application/x-www-form-urlencoded";
    // Sent in place of an empty password.
    static constexpr std::string_view kEmptyPassword = "~";

    // LastError values of our own; every other non-zero value is a curl error code.
    static constexpr int kErrorNoUrl = -1;
    static constexpr int kErrorAnswerTooLarge = -2; // answer passed Options::maxAnswer
    static constexpr int kErrorNotAnImage = -3;     // RequestImage: answer is no JPEG
    static constexpr int kErrorStalled = -4;        // no answer bytes for readIdleTimeout
    static constexpr int kErrorTimedOut = -5;       // the answer did not end by requestTimeout

    struct Options {
        std::size_t readPiece = 8191;     // most bytes taken per read of the answer
        std::size_t initialBuffer = 8193; // first answer allocation
        std::size_t growStep = 8192;      // least growth of the answer buffer
        std::size_t maxAnswer = 16 * 1024 * 1024;
        std::chrono::milliseconds sendSettle{300};        // pause after starting a GET's send
        std::chrono::milliseconds sendTimeout{30000};     // cap on a send (until the answer starts)
        std::chrono::milliseconds readIdleTimeout{30000}; // cap on a silence within the answer
        // Cap on the whole request, from its start to the answer's last byte: a camera that
        // sends one byte a second never trips the silence cap.
        std::chrono::milliseconds requestTimeout{30000};
        // RequestImage refuses a picture larger than this before decoding it.
        int maxImageWidth = 8192;
        int maxImageHeight = 8192;

        static Options Viewer() { return {}; }
        // The motion control reads big pieces (a snapshot arrives in one).
        static Options MotionControl() {
            Options o;
            o.readPiece = 255999;
            o.initialBuffer = 256001;
            o.growStep = 256000;
            // Its snapshot is the camera's 640 x 480 view; allow it scaled twice, no more.
            o.maxImageWidth = 1280;
            o.maxImageHeight = 960;
            return o;
        }
    };

    CHttpPoster();
    explicit CHttpPoster(const Options& options);
    ~CHttpPoster();
    CHttpPoster(const CHttpPoster&) = delete;
    CHttpPoster& operator=(const CHttpPoster&) = delete;

    // Sends the request and reads the answer into `answer` (text up to its first NUL byte).
    // `body` and `bodyLength` count only for a POST; a length of -1 means the body's text
    // length (up to its first NUL). False when the URL is empty, a POST could not be sent,
    // a send got no answer within the send time-out, or the answer was too large or stalled;
    // LastError() then tells which. A camera that cannot be reached by a GET gives true and
    // an empty text, as does a second Request on the same object.
    bool Request(std::string& answer, const std::string& url, bool post, const std::string& user,
                 const std::string& password, std::string_view body = {}, long bodyLength = -1);
    // Request, then decodes the answer's bytes as a JPEG picture into `image`. A failed
    // decode fails the request (kErrorNotAnImage) and leaves `image` as it was.
    bool RequestImage(FrameImage& image, const std::string& url, bool post, const std::string& user,
                      const std::string& password, std::string_view body = {},
                      long bodyLength = -1);

    // The halves of Request: start the request and wait for its answer to begin (within
    // the send time-out and what is left of the request time-out).
    bool Get(const std::string& url, const std::string& user, const std::string& password);
    bool Post(const std::string& url, std::string_view body, long bodyLength,
              const std::string& user, const std::string& password);

    // Decodes Base64 credentials; see Base64Decoder. The unfinished group stays in this object.
    int Base64Decode(std::string_view text, std::span<uint8_t> out) {
        return base64_.Decode(text, out);
    }

    int LastError() const { return lastError_; }
    // The raw bytes of the last answer, NUL bytes included.
    std::span<const uint8_t> AnswerBytes() const { return answer_.Bytes(); }

private:
    TransferSetup MakeSetup(const std::string& url, const std::string& user,
                            const std::string& password) const;
    CurlTransfer::Clock::time_point SendDeadline() const;
    void CloseAll();

    Options options_;
    bool internetOpen_ = true; // closed by the first Request; later ones cannot connect
    CurlTransfer transfer_;
    AnswerBuffer answer_;
    Base64Decoder base64_;
    int lastError_ = 0;
    std::optional<CurlTransfer::Clock::time_point> requestDeadline_; // set by Request
};

} // namespace kestrova::net

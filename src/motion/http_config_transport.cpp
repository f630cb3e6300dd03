#include "codec/image/frame_image.h"
#include "motion/config_client.h"
#include "net/http_poster.h"

namespace kestrova::motion {

std::optional<std::string> HttpConfigTransport::Post(const std::string& url, std::string_view body,
                                                     const Credentials& credentials) {
    net::CHttpPoster poster(net::CHttpPoster::Options::MotionControl());
    std::string reply;
    if (!poster.Request(reply, url, true, credentials.user, credentials.password, body,
                        static_cast<long>(body.size())))
        return std::nullopt;
    return reply;
}

bool HttpConfigTransport::PostForImage(FrameImage& image, const std::string& url,
                                       std::string_view body, const Credentials& credentials,
                                       std::string* replyText) {
    auto options = net::CHttpPoster::Options::MotionControl();
    // The snapshot must come whole in one read; a larger reply fails rather than being cut.
    options.maxAnswer = options.readPiece;
    net::CHttpPoster poster(options);
    if (!poster.RequestImage(image, url, true, credentials.user, credentials.password, body,
                             static_cast<long>(body.size())))
        return false;
    if (replyText) {
        const auto bytes = poster.AnswerBytes();
        replyText->assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    return true;
}

} // namespace kestrova::motion

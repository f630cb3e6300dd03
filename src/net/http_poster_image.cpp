// Kept apart from http_poster.cpp so that only callers of RequestImage need the image codec.
#include "codec/image/frame_image.h"
#include "net/http_poster.h"

namespace kestrova::net {

bool CHttpPoster::RequestImage(FrameImage& image, const std::string& url, bool post,
                               const std::string& user, const std::string& password,
                               std::string_view body, long bodyLength) {
    std::string text;
    if (!Request(text, url, post, user, password, body, bodyLength))
        return false;
    // The picture comes from the raw bytes: a JPEG is full of NULs, so never from the text.
    FrameImage decoded;
    const image::JpegLimits limits{options_.maxImageWidth, options_.maxImageHeight};
    if (!decoded.DecodeJpeg(AnswerBytes(), limits).Ok()) {
        lastError_ = kErrorNotAnImage;
        return false;
    }
    image = std::move(decoded);
    return true;
}

} // namespace kestrova::net

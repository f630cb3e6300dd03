#include "viewer/camera_answer.h"

#include "net/base64.h"

#include <QUrl>
#include <vector>

namespace kestrova::viewer {

std::optional<std::string> AnswerValue(std::string_view body, std::string_view name) {
    const auto at = body.find(name);
    if (at == std::string_view::npos)
        return std::nullopt;
    const auto start = at + name.size();
    const auto end = body.find('\r', start);
    return std::string(body.substr(start, end == std::string_view::npos ? end : end - start));
}

Credentials DecodeCredentials(std::string_view base64string) {
    const auto blank = base64string.find(' ');
    if (blank != std::string_view::npos)
        base64string.remove_prefix(blank + 1);
    // Base64 packs three bytes in four characters; the buffer is sized from the input, so
    // credentials of any length decode whole.
    std::vector<uint8_t> out(base64string.size() / 4 * 3 + 3);
    net::Base64Decoder decoder;
    const int n = decoder.Decode(base64string, out);
    std::string text(reinterpret_cast<const char*>(out.data()), n > 0 ? std::size_t(n) : 0);
    // Decoded text ends at a NUL byte, as the credentials are a C string on the wire.
    if (const auto nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    Credentials c;
    const auto colon = text.find(':');
    if (colon == std::string::npos) {
        c.password = text;
    } else {
        c.user = text.substr(0, colon);
        c.password = text.substr(colon + 1);
    }
    return c;
}

bool IsBrowsableUrl(std::string_view url) {
    const QUrl u(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())),
                 QUrl::StrictMode);
    if (!u.isValid())
        return false;
    const QString scheme = u.scheme().toLower();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !u.host().isEmpty();
}

} // namespace kestrova::viewer
